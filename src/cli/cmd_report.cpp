// qrnconv report INPUT: clearances between cable groups, peak tensions and beam
// results, node envelopes; a Japanese summary, or one JSON object.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>

#include "analysis/report.h"
#include "cli/commands.h"
#include "cli/readinput.h"
#include "dataset/error.h"
#include "dataset/numbers.h"

namespace qrn::cli {
namespace {

constexpr int kShown = 10;  // rows per list in the summary; --json has them all

std::optional<double> numberOption(const ParsedArgs& a, const char* name, bool zeroAllowed,
                                   const QString& what) {
    const auto text = a.value(QString::fromLatin1(name));
    if (!text) return std::nullopt;
    const auto v = num::strictValue(*text);
    if (!v || !std::isfinite(*v) || *v < 0.0 || (!zeroAllowed && *v == 0.0))
        throw UsageError(QStringLiteral("--%1: %2").arg(QString::fromLatin1(name), what));
    return v;
}

// JSON numbers: integers as they are, doubles in the shortest text that reads
// back to the same value.
QByteArray jsonNumber(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QByteArray(buf, static_cast<qsizetype>(r.ptr - buf));
}
QByteArray jsonNumber(std::int64_t v) { return QByteArray::number(static_cast<qlonglong>(v)); }

QByteArray pointJson(const ClearancePoint& p) {
    return "{\"slot\":" + jsonNumber(std::int64_t{p.slot}) +
           ",\"segment\":" + jsonNumber(std::int64_t{p.segment}) + ",\"u\":" + jsonNumber(p.u) +
           ",\"x\":" + jsonNumber(p.x) + ",\"y\":" + jsonNumber(p.y) + ",\"z\":" + jsonNumber(p.z) +
           "}";
}

QByteArray peakJson(const Peak& p) {
    return ",\"max\":" + jsonNumber(std::int64_t{p.max}) + ",\"maxStep\":" + jsonNumber(p.maxStep) +
           ",\"min\":" + jsonNumber(std::int64_t{p.min}) + ",\"minStep\":" + jsonNumber(p.minStep) +
           "}";
}

QByteArray reportJson(const Report& rep) {
    const ReportSetup& s = rep.setup;
    QByteArray j = "{\"steps\":[" + jsonNumber(s.steps.first) + "," + jsonNumber(s.steps.last) +
                   "],\"groups\":[";
    for (std::size_t g = 0; g < s.groups.size(); ++g) {
        j += g ? ",[" : "[";
        for (std::size_t i = 0; i < s.groups[g].size(); ++i)
            j += (i ? "," : "") + jsonNumber(std::int64_t{s.groups[g][i]});
        j += "]";
    }
    j += "],\"clearance\":[";
    for (std::size_t i = 0; i < rep.clearances.size(); ++i) {
        const Clearance& c = rep.clearances[i];
        j += (i ? ",{" : "{");
        j += "\"groups\":[" + jsonNumber(std::int64_t{c.groupA}) + "," +
             jsonNumber(std::int64_t{c.groupB}) + "],\"distance\":" + jsonNumber(c.distance) +
             ",\"step\":" + jsonNumber(c.step) + ",\"time\":" + jsonNumber(c.time) +
             ",\"a\":" + pointJson(c.a) + ",\"b\":" + pointJson(c.b);
        if (s.threshold) {
            j += ",\"belowTime\":" + jsonNumber(c.belowTime) + ",\"firstBelowStep\":" +
                 (c.firstBelowStep ? jsonNumber(*c.firstBelowStep) : QByteArray("null")) +
                 ",\"pass\":" + (c.pass ? "true" : "false");
        }
        j += "}";
    }
    j += "],\"tension\":[";
    for (std::size_t i = 0; i < rep.tensions.size(); ++i) {
        const TensionPeak& t = rep.tensions[i];
        j += (i ? ",{" : "{");
        j += "\"record\":" + jsonNumber(std::int64_t{t.record}) +
             ",\"element\":" + jsonNumber(std::int64_t{t.element}) + peakJson(t.peak);
    }
    j += "],\"beams\":[";
    for (std::size_t i = 0; i < rep.beams.size(); ++i) {
        const BeamPeak& b = rep.beams[i];
        j += (i ? ",{" : "{");
        j += "\"record\":" + jsonNumber(std::int64_t{b.record}) +
             ",\"element\":" + jsonNumber(std::int64_t{b.element}) +
             ",\"component\":" + jsonNumber(std::int64_t{b.component}) + peakJson(b.peak);
    }
    j += "]}\n";
    return j;
}

QString metres(double v) { return QString::number(v, 'f', 3); }
QString seconds(const ReportSetup& s, std::int64_t step) {
    return num::formatGeneralQ(s.timeOf(step));
}
QString stepAt(const ReportSetup& s, std::int64_t step) {
    return QStringLiteral("ステップ %1, %2 秒").arg(step).arg(seconds(s, step));
}
QString more(std::size_t total) {
    return total > static_cast<std::size_t>(kShown)
               ? QStringLiteral("  ほか %1 件（すべては --json で出力します）\n")
                     .arg(total - static_cast<std::size_t>(kShown))
               : QString();
}

QString pointText(const char* label, const ClearancePoint& p) {
    return QStringLiteral("      %1: ケーブル %2 の区間 %3, u=%4  (x, y, z) = (%5, %6, %7)\n")
        .arg(QString::fromLatin1(label))
        .arg(p.slot)
        .arg(p.segment)
        .arg(QString::number(p.u, 'f', 3), metres(p.x), metres(p.y), metres(p.z));
}

QString summaryText(const Report& rep, const QString& input) {
    const ReportSetup& s = rep.setup;
    QString t = QStringLiteral("結果集計: %1\n").arg(input);
    t += QStringLiteral("時間ステップ %1〜%2（%3〜%4 秒、%5 ステップ）\n\n")
             .arg(s.steps.first)
             .arg(s.steps.last)
             .arg(seconds(s, s.steps.first), seconds(s, s.steps.last))
             .arg(s.steps.count());

    t += s.defaultGroups ? QStringLiteral(
                               "グループ（ケーブル番号。既定: 間隔 %1 m 以内のケーブルを"
                               "まとめる）:\n")
                               .arg(num::formatGeneralQ(s.bundleGap))
                         : QStringLiteral("グループ（ケーブル番号）:\n");
    for (std::size_t g = 0; g < s.groups.size(); ++g)
        t += QStringLiteral("  G%1: %2\n").arg(g).arg(cableGroupsText({s.groups[g]}));

    t += QStringLiteral("\n相間離隔（グループ間の最小距離、小さい順）");
    if (s.threshold) t += QStringLiteral("、判定基準 %1 m").arg(num::formatGeneralQ(*s.threshold));
    t += QStringLiteral(":\n");
    if (rep.clearances.empty()) t += QStringLiteral("  ") + rep.clearanceNote + QChar(u'\n');
    for (std::size_t i = 0; i < rep.clearances.size() && i < kShown; ++i) {
        const Clearance& c = rep.clearances[i];
        t += QStringLiteral("  G%1–G%2  %3 m  %4")
                 .arg(c.groupA)
                 .arg(c.groupB)
                 .arg(metres(c.distance), stepAt(s, c.step));
        if (s.threshold) t += c.pass ? QStringLiteral("  OK") : QStringLiteral("  NG");
        t += QChar(u'\n') + pointText("A", c.a) + pointText("B", c.b);
        if (s.threshold) {
            t += c.firstBelowStep
                     ? QStringLiteral("      基準未満 %1 秒（%2 ステップ）、最初は%3\n")
                           .arg(num::formatGeneralQ(c.belowTime))
                           .arg(c.stepsBelow)
                           .arg(stepAt(s, *c.firstBelowStep))
                     : QStringLiteral("      基準未満になるステップはありません\n");
        }
    }
    t += more(rep.clearances.size());

    auto peakText = [&](const Peak& p, const QString& unit) {
        return QStringLiteral("最大 %1%2（%3）  最小 %4%2（%5）")
            .arg(p.max)
            .arg(unit)
            .arg(stepAt(s, p.maxStep))
            .arg(p.min)
            .arg(stepAt(s, p.minStep));
    };
    std::vector<const TensionPeak*> tensions;
    for (const auto& x : rep.tensions) tensions.push_back(&x);
    std::stable_sort(tensions.begin(), tensions.end(),
                     [](auto* a, auto* b) { return a->peak.max > b->peak.max; });
    t += QStringLiteral("\n張力（最大値の大きい順、全 %1 記録）:\n").arg(tensions.size());
    for (std::size_t i = 0; i < tensions.size() && i < kShown; ++i)
        t += QStringLiteral("  記録 %1  要素 %2  %3\n")
                 .arg(tensions[i]->record)
                 .arg(tensions[i]->element)
                 .arg(peakText(tensions[i]->peak, QStringLiteral(" kg")));
    t += more(tensions.size());

    if (!rep.beams.empty()) {
        std::vector<const BeamPeak*> beams;
        for (const auto& x : rep.beams) beams.push_back(&x);
        auto size = [](const Peak& p) { return std::max(std::abs(p.max), std::abs(p.min)); };
        std::stable_sort(beams.begin(), beams.end(),
                         [&](auto* a, auto* b) { return size(a->peak) > size(b->peak); });
        t += QStringLiteral("\n梁の結果（絶対値の大きい順、全 %1 記録）:\n").arg(beams.size());
        for (std::size_t i = 0; i < beams.size() && i < kShown; ++i)
            t += QStringLiteral("  記録 %1  要素 %2-%3  %4\n")
                     .arg(beams[i]->record)
                     .arg(beams[i]->element)
                     .arg(beams[i]->component)
                     .arg(peakText(beams[i]->peak, QString()));
        t += more(beams.size());
    }

    std::vector<const NodeEnvelope*> nodes;
    for (const auto& x : rep.envelopes) nodes.push_back(&x);
    auto swing = [](const NodeEnvelope* e) { return std::max(e->swingY(), e->swingZ()); };
    std::stable_sort(nodes.begin(), nodes.end(),
                     [&](auto* a, auto* b) { return swing(a) > swing(b); });
    t += QStringLiteral("\n節点の振れ（Y・Z 方向の全振幅の大きい順、ケーブル上の全 %1 節点）:\n")
             .arg(nodes.size());
    for (std::size_t i = 0; i < nodes.size() && i < kShown; ++i)
        t += QStringLiteral("  節点 %1（ケーブル %2 の %3 番目）  Y 全振幅 %4 mm  Z 全振幅 %5 mm\n")
                 .arg(nodes[i]->node)
                 .arg(nodes[i]->slot)
                 .arg(nodes[i]->index)
                 .arg(nodes[i]->swingY())
                 .arg(nodes[i]->swingZ());
    if (nodes.size() > static_cast<std::size_t>(kShown))
        t += QStringLiteral("  ほか %1 節点（すべては --envelope-csv で出力します）\n")
                 .arg(nodes.size() - static_cast<std::size_t>(kShown));
    return t;
}

}  // namespace

QString usageReport() {
    return QStringLiteral(
               "使い方: qrnconv report INPUT [読込オプション] [--from T] [--to T] [--groups SPEC]\n"
               "                       [--bundle-gap M] [--threshold M] [--json] [--envelope-csv "
               "FILE]\n"
               "INPUT "
               "を読み込み、ケーブルのグループ間の最小離隔（相間離隔）、張力と梁の結果の最大・"
               "最小、\n"
               "ケーブル上の節点の変位の包絡（最大・最小と Y, Z 方向の全振幅）を求めます。\n"
               "既定では日本語の要約を、--json では JSON オブジェクト１つを標準出力に出します。\n\n"
               "  --from T --to T     集計する時間の範囲(s)（CSV出力画面の時間欄と同じ規則。\n"
               "                      既定は最初から最後の時間ステップまで）\n"
               "  --groups SPEC       互いに比べないケーブルのグループ。ケーブル番号（0 から）を "
               "\",\" で、\n"
               "                      グループを \";\" で区切る（例 \"0,1;2,3\"）。指定しない"
               "ケーブルは\n"
               "                      １本で１グループ。既定は --bundle-gap による自動の"
               "グループ分け\n"
               "  --bundle-gap M      変位のない形で M メートル以内に近づくケーブルを同じ"
               "グループにする（既定 1）\n"
               "  --threshold M       離隔の判定基準(m)。基準未満の時間、最初のステップ、"
               "判定（NG/OK）を加える\n"
               "  --json              JSON オブジェクト１つで出力する\n"
               "  --envelope-csv FILE 節点ごとの包絡を CSV ファイルに出力する（Shift_JIS, CR "
               "LF）\n") +
           readOptionsHelp();
}

int runReport(const QStringList& args) {
    auto specs = readOptionSpecs();
    for (const char* name : {"from", "to", "groups", "bundle-gap", "threshold", "envelope-csv"})
        specs.push_back({QString::fromLatin1(name), true});
    specs.push_back({QStringLiteral("json"), false});
    const ParsedArgs a = parseArgs(args, specs);
    if (a.help) {
        printHelp(usageReport());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT")});
    const ReadRequest request = makeReadRequest(a.positional[0], readOptionsFrom(a));
    ReportRequest report;
    report.fromText = a.value(QStringLiteral("from"));
    report.toText = a.value(QStringLiteral("to"));
    report.groupsText = a.value(QStringLiteral("groups"));
    if (const auto gap = numberOption(a, "bundle-gap", true,
                                      QStringLiteral("0 以上の数（メートル）を指定してください。")))
        report.bundleGap = *gap;
    report.threshold = numberOption(a, "threshold", false,
                                    QStringLiteral("正の数（メートル）を指定してください。"));
    const auto envelopeCsv = a.value(QStringLiteral("envelope-csv"));

    Dataset data;
    TerminalHost host;
    const ReadResult r = readInput(data, request, host);
    if (!r.completed) return ExitFailed;
    report.intervalText = r.intervalText;
    try {
        const Report rep = computeReport(data, report, host);
        host.endProgress();
        if (envelopeCsv) writeEnvelopeCsv(rep, *envelopeCsv);
        if (a.has(QStringLiteral("json"))) {
            if (!rep.clearanceNote.isEmpty()) host.message(kReportTitle, rep.clearanceNote);
            writeStdout(reportJson(rep));
        } else {
            writeStdout(summaryText(rep, request.selectedPath).toUtf8());
        }
    } catch (const QrnError& e) {
        host.message(e.title(), e.message());
        return ExitFailed;
    } catch (const std::bad_alloc&) {
        host.message(kAppTitle,
                     QStringLiteral("メモリが不足しているため、結果を集計できませんでした。"));
        return ExitFailed;
    }
    return ExitOk;
}

}  // namespace qrn::cli
