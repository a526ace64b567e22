// The plotted series as CSV.
#include "analysis/seriescsv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>
#include <algorithm>

#include "dataset/error.h"
#include "dataset/numbers.h"
#include "dataset/progress.h"
#include "dataset/savetarget.h"
#include "files/csvexport.h"

namespace qrn::analysis {
namespace {

void append(QByteArray& out, double v) {
    char buf[num::kGeneralMaxChars];
    out.append(buf, num::appendGeneral(buf, v) - buf);
}

}  // namespace

void writeSeriesCsv(const std::vector<const Series*>& series, const QString& path) {
    QStringEncoder sjis("Shift_JIS");
    if (!sjis.isValid())
        throw QrnError(QStringLiteral("Shift_JISの文字コード変換が使用できません。"), kAppTitle);
    QString head = QStringLiteral("時間(s)");
    for (const Series* s : series) head += QLatin1Char(',') + s->csvHeader;
    const QByteArray header = sjis.encode(head + QStringLiteral("\r\n"));
    if (sjis.hasError())
        throw QrnError(QStringLiteral("見出しをShift_JISに変換できません。"), kAppTitle);

    std::vector<double> times;
    for (const Series* s : series)
        for (std::int64_t i = 0; i < s->grid.count; ++i) times.push_back(s->grid.time(i));
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());

    QSaveFile file(path);
    if (isReadOnlyFile(path) || !file.open(QIODevice::WriteOnly))
        throw QrnError(saveFailure(path, kCannotCreate), kWriteErrorTitle);
    QByteArray block = header;
    std::vector<std::int64_t> next(series.size(), 0);
    for (const double t : times) {
        append(block, t);
        for (std::size_t k = 0; k < series.size(); ++k) {
            const Series& s = *series[k];
            block.append(',');
            std::int64_t& i = next[k];
            while (i < s.grid.count && s.grid.time(i) < t) ++i;
            if (i < s.grid.count && s.grid.time(i) == t)
                append(block, s.values[static_cast<std::size_t>(i)]);
        }
        block.append("\r\n");
        if (block.size() >= (1 << 20)) {
            if (file.write(block) != block.size())
                throw QrnError(saveFailure(path, kCannotWrite), kWriteErrorTitle);
            block.clear();
        }
    }
    if (file.write(block) != block.size() || !file.flush())
        throw QrnError(saveFailure(path, kCannotWrite), kWriteErrorTitle);
    if (!file.commit()) throw QrnError(saveFailure(path, kCannotFinish), kWriteErrorTitle);
}

void savePlotCsv(const Dataset& data, const PlotSelection& sel, const QString& intervalText,
                 const std::vector<const Series*>& selected,
                 const std::vector<const Series*>& extra, const QString& path) {
    if (selected.empty() && extra.empty()) throw QrnError(emptySelectionMessage(), kAppTitle);
    if (extra.empty() && (sel.allTension() || !sel.anyTension())) {
        CsvSelection csv = sel.csv;
        csv.tension = sel.allTension();
        csv.split = false;
        csv.outputPath = path;
        NullProgress quiet;
        writeCsv(data, csv, intervalText, quiet);
        return;
    }
    std::vector<const Series*> all = selected;
    all.insert(all.end(), extra.begin(), extra.end());
    writeSeriesCsv(all, path);
}

}  // namespace qrn::analysis
