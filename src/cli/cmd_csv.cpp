// qrnconv csv INPUT OUTPUT: the CSV window's export, with the window's rules.
#include <new>

#include "cli/commands.h"
#include "cli/readinput.h"
#include "cli/viewoptions.h"
#include "dataset/error.h"
#include "files/csvexport.h"

namespace qrn::cli {

QString usageCsv() {
    return QStringLiteral(
               "使い方: qrnconv csv INPUT OUTPUT [読込オプション] [CSVオプション]\n"
               "INPUT を読み込み、CSV出力画面と同じ規則で OUTPUT に出力します（Shift_JIS, CR "
               "LF）。\n"
               "初期設定ファイルだけの読込（作業モード 4, 7）の後は出力できません。\n\n"
               "CSVオプション（CSV出力画面の設定）:\n"
               "  --nodes LIST|all   出力する節点番号（カンマ区切り）。既定はなし\n"
               "  --axes SUBSET      \"xyzt\" のうち出力する成分 X, Y, Z, θ（既定 xyzt）\n"
               "  --tension          張力データ出力\n"
               "  --init             変位ﾃﾞｰﾀに初期位置を付加\n"
               "  --split            軸毎にファイルを分割\n"
               "  --beams LIST|all   出力するはり要素番号（カンマ区切り）。既定はなし\n"
               "  --from TEXT --to TEXT --every TEXT   出力する時間の範囲と間隔(s)\n"
               "                     （既定 \"0\"、データの終了時間、解析時間の欄）\n\n") +
           readOptionsHelp();
}

int runCsv(const QStringList& args) {
    auto specs = readOptionSpecs();
    const auto csv = csvOptionSpecs();
    specs.insert(specs.end(), csv.begin(), csv.end());
    const ParsedArgs a = parseArgs(args, specs);
    if (a.help) {
        printHelp(usageCsv());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT"), QStringLiteral("OUTPUT")});
    const ReadRequest request = makeReadRequest(a.positional[0], readOptionsFrom(a));
    const CsvCliOptions options = csvOptionsFrom(a);
    const QString output = a.positional[1];

    Dataset data;
    TerminalHost host;
    const ReadResult r = readInput(data, request, host);
    if (!r.completed) return ExitFailed;
    if (!historiesRead(r, host, QStringLiteral("CSVファイルに出力"))) return ExitFailed;
    try {
        const CsvSelection sel = csvSelectionFromOptions(data, options, r.intervalText, output);
        host.stage(QStringLiteral("CSVファイル出力中"));
        writeCsv(data, sel, r.intervalText, host);
        host.endProgress();
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
