// Soak run of the writers: 200 cycles of a complete and a cancelled write of
// the binary dataset file, a single CSV and a split CSV set into one folder.
// Prints one line: resident memory after cycle 10 and 200 (kB), open file
// descriptors then, files left besides the targets, the cancels, and ms per
// cycle over the first and the last ten cycles: wall clock, then processor.
//
//   qrn_soak DATASET.qrn3 WORKDIR [--trace]
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

#include "dataset/error.h"
#include "dataset/progress.h"
#include "files/csvexport.h"
#include "files/datafile.h"
#include "probe.h"

namespace {

using namespace qrn;
using soak::openFiles;
using soak::residentKb;

// Asks to stop after `polls` polls.
class CancelAfter final : public Progress {
  public:
    explicit CancelAfter(int polls) : left_(polls) {}
    void message(const QString&, const QString&) override {}
    bool cancelRequested() override { return left_-- <= 0; }

  private:
    int left_;
};

}  // namespace

int main(int argc, char** argv) {
    const bool trace = argc == 4 && std::strcmp(argv[3], "--trace") == 0;
    if (argc != 3 && !trace) {
        std::fprintf(stderr, "usage: qrn_soak DATASET.qrn3 WORKDIR [--trace]\n");
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QDir work(QString::fromLocal8Bit(argv[2]));
    Dataset data;
    const std::int16_t interval = readDataFile(input, QFileInfo(input).fileName(), data);
    const QString intervalText = qrn::intervalText(interval);
    const QString save = work.filePath(QStringLiteral("soak.qrn3"));
    const QString csv = work.filePath(QStringLiteral("soak.csv"));
    CsvCliOptions all;
    all.nodes = QStringLiteral("all");
    all.beams = QStringLiteral("all");
    all.tension = true;
    CsvCliOptions split = all;
    split.split = true;
    const CsvSelection single = csvSelectionFromOptions(data, all, intervalText, csv);
    const CsvSelection set = csvSelectionFromOptions(data, split, intervalText, csv);
    QStringList targets = csvOutputFiles(csv, true);
    targets << QFileInfo(save).fileName() << QFileInfo(csv).fileName();
    for (QString& t : targets) t = QFileInfo(t).fileName();

    long rss10 = 0;
    int fds10 = 0, cancelled = 0;
    qint64 first10 = 0, last10 = 0;
    double cpuFirst10 = 0, cpuLast10 = 0;
    constexpr int kCycles = 200;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        QElapsedTimer t;
        t.start();
        const double cpu0 = soak::cpuMs();
        NullProgress quiet;
        writeDataFile(data, save, interval, &quiet);
        writeCsv(data, single, intervalText, quiet);
        writeCsv(data, set, intervalText, quiet);
        // The same writes stopped part-way: after a few polls, varied by cycle.
        const int polls = cycle % 3;
        try {
            CancelAfter stop(polls);
            writeDataFile(data, save, interval, &stop);
        } catch (const Cancelled&) {
            ++cancelled;
        }
        for (const CsvSelection* sel : {&single, &set}) {
            try {
                CancelAfter stop(polls);
                writeCsv(data, *sel, intervalText, stop);
            } catch (const Cancelled&) {
                ++cancelled;
            }
        }
        const qint64 ms = t.elapsed();
        const double cpu = soak::cpuMs() - cpu0;
        if (cycle <= 10) {
            first10 += ms;
            cpuFirst10 += cpu;
        }
        if (cycle > kCycles - 10) {
            last10 += ms;
            cpuLast10 += cpu;
        }
        soak::trace(trace, cycle, double(ms), cpu);
        if (cycle == 10) {
            rss10 = residentKb();
            fds10 = openFiles();
        }
    }
    int leftovers = 0;
    for (const QString& e : work.entryList(QDir::Files | QDir::Hidden))
        if (!targets.contains(e)) ++leftovers;
    std::printf("%ld %ld %d %d %d %d %.1f %.1f %.1f %.1f\n", rss10, residentKb(), fds10,
                openFiles(), leftovers, cancelled, first10 / 10.0, last10 / 10.0, cpuFirst10 / 10.0,
                cpuLast10 / 10.0);
    return 0;
}
