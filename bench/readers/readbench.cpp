// Times a whole read (topology, history, coordinates) of a text history with a
// chosen number of parsing threads, or of a binary history (*.f08, settings
// "self.dat"), for comparisons against `wc -l` or `cat` on the same file.
//   qrn_readbench HIS|F08 [THREADS]

#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <string>

#include "readers/histories.h"
#include "readers/historybinary.h"
#include "readers/historytext.h"
#include "readers/settingsreader.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: qrn_readbench HIS [THREADS]\n", stderr);
        return 2;
    }
    const QString his = QString::fromLocal8Bit(argv[1]);
    const bool binary = his.endsWith(QStringLiteral(".f08"));
    const QString st = QFileInfo(his).absolutePath() +
                       (binary ? QStringLiteral("/self.dat") : QStringLiteral("/st.dat"));
    qrn::HistoryReadOptions options;
    if (argc > 2) options.threads = std::stoi(argv[2]);
    QElapsedTimer t;
    t.start();
    qrn::Dataset d;
    d.DataReset();
    const qrn::UnitFactors f = qrn::ReadTopology(d, st);
    int n = 1;
    if (binary) {
        qrn::NullProgress progress;
        qrn::ReadHistoryBinary(d, his, f, n, progress, options.memoryLimit);
    } else {
        qrn::ReadHistoryText(d, his, f, n, options);
    }
    qrn::AddTensionPlaceholder(d, n);
    qrn::ReadCoordinates(d, st, f.length);
    const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
    const double mb = static_cast<double>(QFileInfo(his).size()) / 1e6;
    std::printf(
        "N %d StepCount %d StepMax %d NodeMax %d CableMax %d TensionMax %d  %.3f s  %.0f MB/s\n", n,
        d.StepCount, d.StepMax, d.NodeMax, d.CableMax, d.TensionMax, s, mb / s);
    return 0;
}
