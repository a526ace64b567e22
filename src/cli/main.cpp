// qrnconv: the headless batch converter. Dispatches to one subcommand and maps
// its outcome onto the exit status (0 done, 1 failed job, 2 bad command line).

#include <QCoreApplication>
#include <QStringList>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

#include "cli/commands.h"
#include "cli/terminalhost.h"
#include "dataset/error.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace qrn::cli;

namespace {

const Command kCommands[] = {
    {"sample", runSample, usageSample, "全入力形式のサンプル解析データを作成する"},
    {"info", runInfo, usageInfo, "読み込んだデータの件数と単位を表示する"},
    {"save", runSave, usageSave, "バイナリ保管ファイル(.qrn3)に保存する"},
    {"csv", runCsv, usageCsv, "CSVファイルに出力する"},
    {"frame", runFrame, usageFrame, "１コマをPNG画像に描画する"},
    {"gif", runGif, usageGif, "GIFアニメーションに出力する"},
    {"video", runVideo, usageVideo, "動画(MP4, WebM)に出力する"},
    {"report", runReport, usageReport, "相間離隔・張力の最大最小・節点の振れを集計する"},
    {"xdmf", runXdmf, usageXdmf, "ParaView・Python 用の XDMF/HDF5 に出力する"},
    {"plot", runPlot, usagePlot, "時刻歴グラフをPNGまたはSVG画像に描く"},
};

QString mainUsage() {
    QString s = QStringLiteral(
        "使い方: qrnconv <サブコマンド> [引数...]\n"
        "quarn の解析結果をウィンドウを使わずに変換します。\n\n"
        "サブコマンド:\n");
    for (const auto& c : kCommands)
        s += QStringLiteral("  %1 %2\n")
                 .arg(QString::fromLatin1(c.name), -7)
                 .arg(QString::fromUtf8(c.summary));
    s += QStringLiteral(
        "\n各サブコマンドの説明は qrnconv <サブコマンド> --help で表示します。\n"
        "終了コード: 0 成功, 1 処理の失敗, 2 コマンドラインの誤り\n");
    return s;
}

void printErr(const QString& text) { stderrSink()(text.toUtf8()); }

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
    const bool plot = argc > 1 && std::strcmp(argv[1], "plot") == 0;
    const std::unique_ptr<QCoreApplication> app =
        plot ? makePlotApplication(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args.isEmpty()) {
        printErr(QStringLiteral("qrnconv: サブコマンドがありません。\n\n") + mainUsage());
        return ExitUsage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        printHelp(mainUsage());
        return ExitOk;
    }
    const Command* cmd = nullptr;
    for (const auto& c : kCommands)
        if (name == QLatin1String(c.name)) cmd = &c;
    if (!cmd) {
        printErr(QStringLiteral("qrnconv: 不明なサブコマンド %1 です。\n\n").arg(name) +
                 mainUsage());
        return ExitUsage;
    }
    const QString prefix = QStringLiteral("qrnconv %1: ").arg(name);
    try {
        return cmd->run(args);
    } catch (const UsageError& e) {
        // The error and the synopsis; the whole help is one --help away.
        const QString usage = cmd->usage();
        printErr(prefix + e.message() + QChar(u'\n') + usage.left(usage.indexOf(QChar(u'\n')) + 1) +
                 QStringLiteral("詳しくは qrnconv %1 --help を見てください。\n").arg(name));
        return ExitUsage;
    } catch (const qrn::QrnError& e) {
        printErr(TerminalHost::messageText(e.title(), e.message()));
        return ExitFailed;
    } catch (const std::bad_alloc&) {
        printErr(prefix + QStringLiteral("メモリが不足しています。\n"));
        return ExitFailed;
    } catch (const std::exception& e) {
        printErr(prefix + QString::fromLocal8Bit(e.what()) + QChar(u'\n'));
        return ExitFailed;
    }
}
