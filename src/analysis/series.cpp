// The selection's series, value for value what the CSV export writes.
#include "analysis/series.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

#include "dataset/error.h"
#include "dataset/numbers.h"
#include "dataset/progress.h"

namespace qrn::analysis {
namespace {

// The CSV export's degree conversion uses this constant, not pi; the plot
// must give the same hundredths.
constexpr double kCsvThetaPi = 3.14159;

const QString kAxisLabel[4] = {QStringLiteral("X軸"), QStringLiteral("Y軸"), QStringLiteral("Z軸"),
                               QStringLiteral("θ")};
const QString kAxisHeader[4] = {QStringLiteral("X軸"), QStringLiteral("Y軸"), QStringLiteral("Z軸"),
                                QStringLiteral("θ(ﾟ)")};

QString missingData(const QString& what) {
    return what + QStringLiteral("のデータが読み込まれていません。");
}

QString timeText(double seconds) { return num::formatGeneralQ(seconds); }

std::optional<std::int32_t> wholeNumber(const QString& text) {
    const auto v = num::strictValue(text);
    return v && *v == std::floor(*v) ? num::roundToInt32(*v) : std::nullopt;
}

const QString kElementsError =
    QStringLiteral("--elements: 要素番号をカンマ区切りで指定してください。");

}  // namespace

double displayScale(Quantity q) { return q == Quantity::Displacement ? kMillimetresPerMetre : 1.0; }

std::int64_t StepGrid::nearest(double t) const {
    if (count <= 0) return -1;
    const double steps = (t / dt - static_cast<double>(first)) / static_cast<double>(stride);
    if (!(steps > 0.0)) return 0;  // also NaN
    if (steps >= static_cast<double>(count - 1)) return count - 1;
    const auto i = static_cast<std::int64_t>(std::floor(steps));
    // Decide between the two neighbours on the times themselves.
    return std::fabs(time(i + 1) - t) < std::fabs(t - time(i)) ? i + 1 : i;
}

bool PlotSelection::anyTension() const {
    return std::find(tension.begin(), tension.end(), 1) != tension.end();
}

bool PlotSelection::allTension() const {
    return !tension.empty() &&
           std::all_of(tension.begin(), tension.end(), [](std::uint8_t v) { return v == 1; });
}

PlotSelection openPlotSelection(const Dataset& data, const QString& intervalText) {
    PlotSelection sel;
    sel.csv = openCsvSelection(data, intervalText, QString());
    sel.tension.assign(static_cast<std::size_t>(std::max(data.TensionMax + 1, 0)), 0);
    return sel;
}

PlotSelection plotSelectionFromOptions(const Dataset& data, const CsvCliOptions& options,
                                       const std::optional<QString>& elements,
                                       const QString& intervalText) {
    PlotSelection sel;
    sel.csv = csvSelectionFromOptions(data, options, intervalText, QString());
    sel.tension.assign(static_cast<std::size_t>(std::max(data.TensionMax + 1, 0)), 0);
    if (!options.tension && !elements) return sel;
    const auto tick = [&](std::int64_t r, std::optional<std::int32_t> element) {
        if (!element || (data.TensionElem.contains(r) && data.TensionElem(r) == *element)) {
            sel.tension[static_cast<std::size_t>(r)] = 1;
            return true;
        }
        return false;
    };
    const auto records = static_cast<std::int64_t>(sel.tension.size());
    if (!elements) {
        for (std::int64_t r = 0; r < records; ++r) tick(r, std::nullopt);
        return sel;
    }
    for (const QString& part : elements->split(QLatin1Char(','))) {
        const auto number = wholeNumber(part);
        if (!number) throw QrnError(kElementsError, kAppTitle);
        bool found = false;
        for (std::int64_t r = 0; r < records; ++r) found = tick(r, number) || found;
        if (!found)
            throw QrnError(QStringLiteral("要素番号") + QString::number(*number) +
                               QStringLiteral("の張力データはありません。"),
                           kAppTitle);
    }
    return sel;
}

QString elementsOptionError(const QString& text) {
    for (const QString& part : text.split(QLatin1Char(',')))
        if (!wholeNumber(part)) return kElementsError;
    return {};
}

StepGrid storedSteps(const Dataset& data, const QString& intervalText) {
    std::int64_t lo = 0;
    std::int64_t hi = std::numeric_limits<std::int64_t>::max();
    bool any = false;
    const auto within = [&](std::int64_t first, std::int64_t last) {
        lo = std::max(lo, first);
        hi = std::min(hi, last);
        any = true;
    };
    if (!data.NodeDisp.empty()) within(data.NodeDisp.lo(3), data.NodeDisp.hi(3));
    if (!data.TensionHist.empty()) within(data.TensionHist.lo(0), data.TensionHist.hi(0));
    if (data.BeamRecCount > 0 && !data.BeamHist.empty())
        within(data.BeamHist.lo(0), data.BeamHist.hi(0));
    // The histories may hold padding steps beyond StepMax; the viewer's time
    // bar ends at StepMax.
    hi = std::min<std::int64_t>(hi, std::max(data.StepMax, 0));
    StepGrid g;
    g.dt = csvStepSeconds(intervalText);
    g.first = lo;
    g.count = any && hi >= lo ? hi - lo + 1 : 0;
    return g;
}

StepGrid plotGrid(const Dataset& data, const PlotSelection& sel, const QString& intervalText) {
    const CsvSteps s = csvSteps(sel.csv, data, intervalText);
    StepGrid g;
    g.dt = csvStepSeconds(intervalText);
    // Time must grow with the step for a time axis.
    if (!(g.dt > 0.0))
        throw QrnError(QStringLiteral("計算時間間隔 %1 s が正の値でないため、グラフを描けません。")
                           .arg(timeText(g.dt)),
                       kAppTitle);
    if (s.count <= 0) {
        const StepGrid all = storedSteps(data, intervalText);
        QString text = QStringLiteral("出力時間 %1 s～%2 s にはデータがありません。")
                           .arg(sel.csv.fromText, sel.csv.toText);
        if (all.count > 0)
            text += QStringLiteral("\rデータは %1 s～%2 s の範囲にあります。")
                        .arg(timeText(all.time(0)), timeText(all.time(all.count - 1)));
        throw QrnError(text, kAppTitle);
    }
    g.count = s.count;
    g.stride = s.step > 0 ? s.step : -s.step;
    g.first = s.step > 0 ? s.first : s.at(s.count - 1);
    return g;
}

std::vector<SeriesKey> plotKeys(const Dataset& data, const PlotSelection& sel) {
    std::vector<SeriesKey> keys;
    for (std::size_t r = 0; r < sel.tension.size(); ++r)
        if (sel.tension[r] == 1)
            keys.push_back({SeriesKey::Kind::Tension, static_cast<std::int64_t>(r), 0});
    const CsvSelection& c = sel.csv;
    const std::int64_t lastEntry =
        std::min<std::int64_t>(data.NodeTblMax, c.NodeSel.empty() ? -1 : c.NodeSel.hi(0));
    for (std::int64_t j = 0; j <= lastEntry; ++j)
        for (int axis = 0; axis < 4; ++axis)
            if (c.NodeSel.contains(j, axis) && c.NodeSel(j, axis) == 1)
                keys.push_back({SeriesKey::Kind::Node, j, axis});
    for (std::int64_t i = 0; i < data.BeamRecCount; ++i)
        if (c.BeamSel.contains(i) && c.BeamSel(i) == 1)
            keys.push_back({SeriesKey::Kind::Beam, i, 0});
    return keys;
}

Series extractSeries(const Dataset& data, const SeriesKey& key, const StepGrid& grid, bool init) {
    Series s;
    s.grid = grid;
    s.values.resize(static_cast<std::size_t>(std::max<std::int64_t>(grid.count, 0)));
    const std::int64_t lastStep = grid.count > 0 ? grid.step(grid.count - 1) : 0;
    switch (key.kind) {
        case SeriesKey::Kind::Tension: {
            const std::int64_t r = key.index;
            if (!data.TensionElem.contains(r) ||
                (grid.count > 0 && (!data.TensionHist.contains(grid.first, r) ||
                                    !data.TensionHist.contains(lastStep, r))))
                throw QrnError(missingData(QStringLiteral("張力")), kAppTitle);
            const QString element = QString::number(data.TensionElem(r));
            s.label = element + QStringLiteral(" 張力");
            s.csvHeader = element + QStringLiteral("張力(kg)");
            s.quantity = Quantity::Tension;
            for (std::int64_t i = 0; i < grid.count; ++i)
                s.values[static_cast<std::size_t>(i)] = data.TensionHist(grid.step(i), r);
            break;
        }
        case SeriesKey::Kind::Beam: {
            const std::int64_t r = key.index;
            if (!data.BeamRecInfo.contains(1, r) ||
                (grid.count > 0 &&
                 (!data.BeamHist.contains(grid.first, r) || !data.BeamHist.contains(lastStep, r))))
                throw QrnError(missingData(QStringLiteral("Beam軸力")), kAppTitle);
            const QString element = QString::number(data.BeamRecInfo(0, r));
            const QString code = QString::number(data.BeamRecInfo(1, r));
            s.label = QStringLiteral("Beam ") + element + QLatin1Char('-') + code;
            s.csvHeader = QStringLiteral("Beam") + element + QLatin1Char('-') + code;
            s.quantity = Quantity::Beam;
            for (std::int64_t i = 0; i < grid.count; ++i)
                s.values[static_cast<std::size_t>(i)] = data.BeamHist(grid.step(i), r);
            break;
        }
        case SeriesKey::Kind::Node: {
            const std::int64_t j = key.index;
            const int axis = key.axis;
            if (axis < 0 || axis > 3 || !data.NodeTbl.contains(2, j))
                throw QrnError(missingData(QStringLiteral("ノードテーブル")), kAppTitle);
            const QString number = QString::number(data.NodeTbl(0, j));
            s.label = number + QLatin1Char(' ') + kAxisLabel[axis];
            s.csvHeader = number + kAxisHeader[axis];
            const bool twist = axis == CsvTheta;
            s.quantity = twist ? Quantity::Twist : Quantity::Displacement;
            const std::int64_t L = data.NodeTbl(1, j);
            const std::int64_t K = data.NodeTbl(2, j);
            const std::int64_t comp = twist ? 2 : axis - 1;
            const bool initOk = !init || (twist ? data.NodeTwist0.contains(L, K)
                                                : data.NodePos.contains(L, axis, K));
            if (grid.count > 0 && (!data.NodeDisp.contains(L, comp, K, grid.first) ||
                                   !data.NodeDisp.contains(L, comp, K, lastStep) || !initOk))
                throw QrnError(missingData(QStringLiteral("ノード") + number), kAppTitle);
            double add = 0.0;
            if (init && grid.count > 0)
                add = twist ? static_cast<double>(data.NodeTwist0(L, K))
                            : static_cast<double>(data.NodePos(L, axis, K));
            for (std::int64_t i = 0; i < grid.count; ++i) {
                const auto stored = static_cast<double>(data.NodeDisp(L, comp, K, grid.step(i)));
                double v;
                if (twist) {
                    // Degrees cut towards minus infinity to hundredths.
                    v = std::floor((stored + add) * 18.0 / kCsvThetaPi) / 100.0;
                } else {
                    v = init ? stored / kStorageScale + add : stored / kStorageScale;
                }
                s.values[static_cast<std::size_t>(i)] = v;
            }
            break;
        }
    }
    return s;
}

std::vector<Series> selectionSeries(const Dataset& data, const PlotSelection& sel,
                                    const QString& intervalText) {
    const std::vector<SeriesKey> keys = plotKeys(data, sel);
    std::vector<Series> out;
    if (keys.empty()) return out;
    const StepGrid grid = plotGrid(data, sel, intervalText);
    out.reserve(keys.size());
    for (const SeriesKey& k : keys) out.push_back(extractSeries(data, k, grid, sel.csv.init));
    return out;
}

std::vector<std::int64_t> nodeEntries(const Dataset& data, std::int32_t number) {
    std::vector<std::int64_t> out;
    for (std::int64_t j = 0; j <= data.NodeTblMax; ++j)
        if (data.NodeTbl.contains(0, j) && data.NodeTbl(0, j) == number) out.push_back(j);
    return out;
}

QString emptySelectionMessage() {
    return QStringLiteral(
        "グラフにする系列が選択されていません。ノード、張力またはBeam軸力を選んでください。");
}

}  // namespace qrn::analysis
