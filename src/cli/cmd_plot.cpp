// qrnconv plot INPUT OUT.png|OUT.svg: the "グラフ" window's chart of a CSV
// selection, drawn without a window.
#include <QApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <new>

#include "analysis/series.h"
#include "cli/commands.h"
#include "cli/readinput.h"
#include "cli/viewoptions.h"
#include "dataset/error.h"
#include "plot/chartimage.h"
#include "plot/serieschart.h"

namespace qrn::cli {
namespace {

constexpr int kMinSide = 100;
constexpr QSize kDefaultSize(1000, 600);

QSize sizeOption(const ParsedArgs& a) {
    const auto v = a.value(QStringLiteral("size"));
    if (!v) return kDefaultSize;
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{1,9})\\s*[xX]\\s*(\\d{1,9})\\s*$"));
    const auto m = re.match(*v);
    const int w = m.hasMatch() ? m.captured(1).toInt() : 0;
    const int h = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (w < kMinSide || h < kMinSide || w > kMaxWindowSide || h > kMaxWindowSide)
        throw UsageError(
            QStringLiteral("--size には 幅x高さ を %1 から %2 の整数で指定してください（%3）。")
                .arg(kMinSide)
                .arg(kMaxWindowSide)
                .arg(*v));
    return QSize(w, h);
}

// Qt's own notes about the platform (no runtime folder and the like) are no
// concern of a script; stderr carries the converter's messages only.
void quietQtNotes(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) stderrSink()(text.toUtf8() + '\n');
}

}  // namespace

std::unique_ptr<QCoreApplication> makePlotApplication(int& argc, char** argv) {
    // Charts are drawn by widgets classes; a converter must not need a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietQtNotes);
    return std::make_unique<QApplication>(argc, argv);
}

QString usagePlot() {
    return QStringLiteral(
               "使い方: qrnconv plot INPUT OUT.png|OUT.svg [読込オプション] [選択オプション] "
               "[--elements LIST] [--size WxH]\n"
               "INPUT を読み込み、CSV出力画面と同じ選択の時刻歴グラフを PNG または SVG "
               "に描きます。\n"
               "グラフの値は同じ選択の CSV 出力の値と同じです（変位は mm で表示）。\n\n"
               "選択オプション（CSV出力画面の設定）:\n"
               "  --nodes LIST|all   グラフにする節点番号（カンマ区切り）\n"
               "  --axes SUBSET      \"xyzt\" のうち描く成分 X, Y, Z, θ（既定 xyzt）\n"
               "  --tension          すべての張力データ\n"
               "  --elements LIST    張力データをこの要素番号の記録に絞る（--tension を含む）\n"
               "  --init             変位ﾃﾞｰﾀに初期位置を付加\n"
               "  --beams LIST|all   グラフにするはり要素番号（カンマ区切り）\n"
               "  --from TEXT --to TEXT --every TEXT   時間の範囲と間隔(s)\n"
               "                     （既定 \"0\"、データの終了時間、解析時間の欄）\n"
               "  --size WxH         画像の大きさ（既定 1000x600）\n\n") +
           readOptionsHelp();
}

int runPlot(const QStringList& args) {
    auto specs = readOptionSpecs();
    const auto csv = csvOptionSpecs();
    specs.insert(specs.end(), csv.begin(), csv.end());
    specs.push_back({QStringLiteral("elements"), true});
    specs.push_back({QStringLiteral("size"), true});
    const ParsedArgs a = parseArgs(args, specs);
    if (a.help) {
        printHelp(usagePlot());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT"), QStringLiteral("OUT")});
    const ReadRequest request = makeReadRequest(a.positional[0], readOptionsFrom(a));
    const CsvCliOptions options = csvOptionsFrom(a);
    if (options.split) throw UsageError(QStringLiteral("--split はグラフには使えません。"));
    const std::optional<QString> elements = a.value(QStringLiteral("elements"));
    if (elements) {
        if (const QString bad = analysis::elementsOptionError(*elements); !bad.isEmpty())
            throw UsageError(bad);
    }
    const QSize size = sizeOption(a);
    const QString output = a.positional[1];
    const QString suffix = QFileInfo(output).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg"))
        throw UsageError(
            QStringLiteral("OUT の名前は .png か .svg で終えてください（%1）。").arg(output));

    Dataset data;
    TerminalHost host;
    const ReadResult r = readInput(data, request, host);
    if (!r.completed) return ExitFailed;
    if (!historiesRead(r, host, QStringLiteral("グラフを描画"))) return ExitFailed;
    try {
        const analysis::PlotSelection sel =
            analysis::plotSelectionFromOptions(data, options, elements, r.intervalText);
        if (analysis::plotKeys(data, sel).empty())
            throw QrnError(analysis::emptySelectionMessage(), kAppTitle);
        const std::vector<analysis::Series> series =
            analysis::selectionSeries(data, sel, r.intervalText);
        std::vector<const analysis::Series*> shown;
        for (const auto& s : series) shown.push_back(&s);
        plot::StandaloneChart picture(size);
        picture.chart().setTitle(QFileInfo(a.positional[0]).fileName());
        picture.chart().setSeries(shown);
        picture.layOut();
        picture.chart().reduce();
        plot::saveChartImage(picture.chart(), output);
    } catch (const QrnError& e) {
        host.message(e.title(), e.message());
        return ExitFailed;
    } catch (const std::bad_alloc&) {
        host.message(kWriteErrorTitle, QStringLiteral("メモリが不足しているため、") + output +
                                           QStringLiteral("を出力できませんでした。"));
        return ExitFailed;
    }
    return ExitOk;
}

}  // namespace qrn::cli
