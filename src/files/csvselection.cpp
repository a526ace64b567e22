// The CSV window's state and rules, free of widgets: opening, "全選択", the
// time boxes, the exported steps, the list layout and the qrnconv options.
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "dataset/error.h"
#include "dataset/numbers.h"
#include "files/csvexport.h"

namespace qrn {
namespace {

QString generalText(double v) { return num::formatGeneralQ(v); }

// Position of the file-name part: just after the last folder separator.
qsizetype fileNameStart(const QString& path) {
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return slash + 1;
}

// A time in steps, rounded ties-to-even; kept far inside 64 bits so that
// step arithmetic cannot overflow whatever the boxes hold.
std::int64_t toStep(double steps) {
    if (std::isnan(steps)) return 0;
    constexpr double kLimit = 1e15;
    const double r = num::roundHalfEven(std::clamp(steps, -kLimit, kLimit));
    return static_cast<std::int64_t>(r);
}

// Upper time index that every history array holds; -1 when none holds data.
std::int64_t lastStoredStep(const Dataset& d) {
    std::int64_t last = std::numeric_limits<std::int64_t>::max();
    bool any = false;
    if (!d.NodeDisp.empty()) {
        last = std::min(last, d.NodeDisp.hi(3));
        any = true;
    }
    if (!d.TensionHist.empty()) {
        last = std::min(last, d.TensionHist.hi(0));
        any = true;
    }
    if (d.BeamRecCount > 0 && !d.BeamHist.empty()) {
        last = std::min(last, d.BeamHist.hi(0));
        any = true;
    }
    return any ? last : -1;
}

std::int64_t firstStoredStep(const Dataset& d) {
    std::int64_t first = 0;
    if (!d.NodeDisp.empty()) first = std::max(first, d.NodeDisp.lo(3));
    if (!d.TensionHist.empty()) first = std::max(first, d.TensionHist.lo(0));
    if (d.BeamRecCount > 0 && !d.BeamHist.empty()) first = std::max(first, d.BeamHist.lo(0));
    return first;
}

// Integer numbers of a comma-separated list; empty on a malformed list.
std::optional<std::vector<std::int32_t>> parseNumberList(const QString& text) {
    std::vector<std::int32_t> out;
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& p : parts) {
        const auto v = num::strictValue(p);
        if (!v || *v != std::floor(*v)) return std::nullopt;
        const auto i = num::roundToInt32(*v);
        if (!i) return std::nullopt;
        out.push_back(*i);
    }
    return out;
}

bool isAll(const QString& text) { return text.trimmed() == QStringLiteral("all"); }

}  // namespace

QString csvDefaultPath(const QString& chosenPath) {
    const qsizetype dot = chosenPath.indexOf(QLatin1Char('.'), fileNameStart(chosenPath));
    if (dot < 0) return chosenPath + QStringLiteral(".csv");
    return chosenPath.left(dot + 1) + QStringLiteral("csv");
}

double csvStepSeconds(const QString& intervalText) {
    const double dt = num::leadingValue(intervalText);
    return dt == 0.0 ? 0.1 : dt;
}

CsvSelection openCsvSelection(const Dataset& data, const QString& intervalText,
                              const QString& chosenPath) {
    CsvSelection sel;
    sel.NodeSel.create({Bounds{0, std::max<std::int64_t>(data.NodeTblMax, -1)}, Bounds{0, 3}});
    if (data.BeamRecCount > 0) sel.BeamSel.create({Bounds{0, data.BeamRecCount - 1}});
    const double dt = csvStepSeconds(intervalText);
    sel.fromText = QStringLiteral("0");
    sel.toText = generalText((static_cast<double>(data.StepCount) - 1.0) * dt);
    sel.everyText = intervalText;
    sel.outputPath = csvDefaultPath(chosenPath);
    return sel;
}

void csvSelectAll(CsvSelection& sel) {
    for (std::size_t i = 0; i < sel.NodeSel.size(); ++i) sel.NodeSel.data()[i] = 1;
    for (std::size_t i = 0; i < sel.BeamSel.size(); ++i) sel.BeamSel.data()[i] = 1;
}

std::int64_t csvSelectedNodeCells(const CsvSelection& sel) {
    return std::count(sel.NodeSel.data(), sel.NodeSel.data() + sel.NodeSel.size(), 1);
}

std::int64_t csvSelectedBeams(const CsvSelection& sel) {
    return std::count(sel.BeamSel.data(), sel.BeamSel.data() + sel.BeamSel.size(), 1);
}

QString csvCorrectToText(const QString& text, const Dataset& data, const QString& intervalText) {
    const double cap = static_cast<double>(data.StepCount) * csvStepSeconds(intervalText);
    return num::leadingValue(text) > cap ? generalText(cap) : text;
}

QString csvCorrectEveryText(const QString& text, const QString& intervalText) {
    const double dt = csvStepSeconds(intervalText);
    // Each replacement is an edit of the box and runs the rule again; it settles
    // after at most three rounds ("0.02" -> "0" -> interval text -> its dt x 1 form).
    QString current = text;
    for (int round = 0; round < 8; ++round) {
        const double t = num::leadingValue(current);
        QString next;
        if (t != 0.0) {
            next = generalText(dt * num::roundHalfEven(t / dt));
        } else {
            next = intervalText;
        }
        if (next == current) break;
        current = next;
    }
    return current;
}

CsvSteps csvSteps(const CsvSelection& sel, const Dataset& data, const QString& intervalText) {
    const double dt = csvStepSeconds(intervalText);
    std::int64_t m0 = toStep(num::leadingValue(sel.fromText) / dt);
    std::int64_t m1 = toStep(num::leadingValue(sel.toText) / dt);
    std::int64_t s = toStep(num::leadingValue(sel.everyText) / dt);
    // The interval box never settles on 0; a zero step would repeat one line forever.
    if (s == 0) s = 1;
    // Steps outside the stored history are never read: the start is clamped to
    // the first stored step and the end to the last one (mirrored when counting down).
    const std::int64_t lo = firstStoredStep(data);
    const std::int64_t hi = lastStoredStep(data);
    CsvSteps out;
    out.step = s;
    if (hi < lo) return out;
    if (s > 0) {
        m0 = std::max(m0, lo);
        m1 = std::min(m1, hi);
        if (m0 <= m1) out.count = (m1 - m0) / s + 1;
    } else {
        m0 = std::min(m0, hi);
        m1 = std::max(m1, lo);
        if (m0 >= m1) out.count = (m0 - m1) / -s + 1;
    }
    out.first = m0;
    return out;
}

QString csvSplitBase(const QString& outputPath) {
    const qsizetype dot = outputPath.indexOf(QLatin1Char('.'), fileNameStart(outputPath));
    return dot < 0 ? outputPath : outputPath.left(dot);
}

QStringList csvOutputFiles(const QString& outputPath, bool split) {
    if (!split) return {outputPath};
    const QString base = csvSplitBase(outputPath);
    return {base + QStringLiteral("X軸.csv"), base + QStringLiteral("Y軸.csv"),
            base + QStringLiteral("Z軸.csv"), base + QStringLiteral("θ.csv"),
            base + QStringLiteral("他.csv")};
}

CsvListLayout csvNodeListLayout(const Dataset& data) {
    CsvListLayout l;
    if (data.NodeTblMax < kCsvNodeRows) {
        l.rowsShown = std::max(data.NodeTblMax + 1, 0);
    } else {
        l.rowsShown = kCsvNodeRows;
        l.scrollEnabled = true;
        l.scrollMax = static_cast<std::int64_t>(data.NodeTblMax) - (kCsvNodeRows - 1);
    }
    return l;
}

CsvListLayout csvBeamListLayout(const Dataset& data) {
    CsvListLayout l;
    if (data.BeamRecCount < 1) return l;
    if (data.BeamRecCount <= kCsvBeamRows) {
        l.rowsShown = data.BeamRecCount;
    } else {
        l.rowsShown = kCsvBeamRows;
        l.scrollEnabled = true;
        l.scrollMax = static_cast<std::int64_t>(data.BeamRecCount) - kCsvBeamRows;
    }
    return l;
}

int csvWindowHeightTwips(const Dataset& data) {
    return data.BeamRecCount < 1 ? kCsvHeightNoBeams : kCsvHeightBeams;
}

QString csvNodeCaption(const Dataset& data, std::int64_t j) {
    return data.NodeTbl.contains(0, j) ? QString::number(data.NodeTbl(0, j)) : QString();
}

QString csvBeamElementCaption(const Dataset& data, std::int64_t i) {
    return data.BeamRecInfo.contains(0, i) ? QString::number(data.BeamRecInfo(0, i)) : QString();
}

QString csvBeamCodeCaption(const Dataset& data, std::int64_t i) {
    return data.BeamRecInfo.contains(1, i) ? QString::number(data.BeamRecInfo(1, i)) : QString();
}

QString csvOptionsError(const CsvCliOptions& opt) {
    if (opt.nodes && !isAll(*opt.nodes) && !parseNumberList(*opt.nodes))
        return QStringLiteral(
            "--nodes: ノード番号をカンマ区切りで指定するか all を指定してください。");
    if (opt.beams && !isAll(*opt.beams) && !parseNumberList(*opt.beams))
        return QStringLiteral(
            "--beams: 要素番号をカンマ区切りで指定するか all を指定してください。");
    if (opt.axes.isEmpty())
        return QStringLiteral("--axes: x, y, z, t のいずれかを指定してください。");
    for (const QChar c : opt.axes) {
        if (!QStringLiteral("xyzt").contains(c))
            return QStringLiteral("--axes: x, y, z, t のいずれかを指定してください。");
    }
    return {};
}

CsvSelection csvSelectionFromOptions(const Dataset& data, const CsvCliOptions& opt,
                                     const QString& intervalText, const QString& outputPath) {
    const QString bad = csvOptionsError(opt);
    if (!bad.isEmpty()) throw QrnError(bad, kAppTitle);

    CsvSelection sel = openCsvSelection(data, intervalText, outputPath);
    sel.outputPath = outputPath;
    sel.tension = opt.tension;
    sel.init = opt.init;
    sel.split = opt.split;

    bool axis[4] = {false, false, false, false};
    for (const QChar c : opt.axes) axis[QStringLiteral("xyzt").indexOf(c)] = true;
    const std::int64_t lastEntry = sel.NodeSel.empty() ? -1 : sel.NodeSel.hi(0);
    auto tickEntry = [&](std::int64_t j) {
        for (int c = 0; c < 4; ++c)
            if (axis[c]) sel.NodeSel(j, c) = 1;
    };
    if (opt.nodes && isAll(*opt.nodes)) {
        for (std::int64_t j = 0; j <= lastEntry; ++j) tickEntry(j);
    } else if (opt.nodes) {
        const std::vector<std::int32_t> numbers = *parseNumberList(*opt.nodes);
        for (const std::int32_t number : numbers) {
            bool found = false;
            for (std::int64_t j = 0; j <= lastEntry; ++j) {
                if (data.NodeTbl.contains(0, j) && data.NodeTbl(0, j) == number) {
                    tickEntry(j);
                    found = true;
                }
            }
            if (!found)
                throw QrnError(QStringLiteral("ノード番号") + QString::number(number) +
                                   QStringLiteral("はノードテーブルにありません。"),
                               kAppTitle);
        }
    }

    const std::int64_t lastBeam = sel.BeamSel.empty() ? -1 : sel.BeamSel.hi(0);
    if (opt.beams && isAll(*opt.beams)) {
        for (std::int64_t i = 0; i <= lastBeam; ++i) sel.BeamSel(i) = 1;
    } else if (opt.beams) {
        const std::vector<std::int32_t> numbers = *parseNumberList(*opt.beams);
        for (const std::int32_t number : numbers) {
            bool found = false;
            for (std::int64_t i = 0; i <= lastBeam; ++i) {
                if (data.BeamRecInfo.contains(0, i) && data.BeamRecInfo(0, i) == number) {
                    sel.BeamSel(i) = 1;
                    found = true;
                }
            }
            if (!found)
                throw QrnError(QStringLiteral("Beam要素番号") + QString::number(number) +
                                   QStringLiteral("の軸力データはありません。"),
                               kAppTitle);
        }
    }

    if (opt.from) sel.fromText = *opt.from;
    if (opt.to) sel.toText = csvCorrectToText(*opt.to, data, intervalText);
    if (opt.every) sel.everyText = csvCorrectEveryText(*opt.every, intervalText);
    return sel;
}

}  // namespace qrn
