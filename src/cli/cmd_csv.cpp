// qrnconv csv INPUT OUTPUT: the CSV window's export.
// Not part of the program yet: the options are checked, then the command
// reports that it is not available.
#include "cli/commands.h"

namespace qrn::cli {

QString usageCsv() {
    return QStringLiteral(
               "使い方: qrnconv csv INPUT OUTPUT [読込オプション] [CSVオプション]\n"
               "INPUT を読み込み、CSV出力画面と同じ規則で OUTPUT に出力します（Shift_JIS, CR "
               "LF）。\n\n"
               "CSVオプション:\n"
               "  --nodes LIST|all   出力する節点番号（カンマ区切り）\n"
               "  --axes SUBSET      \"xyzt\" のうち出力する成分（既定 xyzt）\n"
               "  --tension          張力データ出力\n"
               "  --init             変位ﾃﾞｰﾀに初期位置を付加\n"
               "  --split            軸毎にファイルを分割\n"
               "  --beams LIST|all   出力するはり要素番号\n"
               "  --from TEXT --to TEXT --every TEXT   出力する時間の範囲と間隔\n\n") +
           readOptionsHelp();
}

int runCsv(const QStringList& args) {
    auto specs = readOptionSpecs();
    for (const char* n : {"nodes", "axes", "beams", "from", "to", "every"})
        specs.push_back({QString::fromLatin1(n), true});
    for (const char* n : {"tension", "init", "split"})
        specs.push_back({QString::fromLatin1(n), false});
    const ParsedArgs a = parseArgs(args, specs);
    if (a.help) {
        printHelp(usageCsv());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT"), QStringLiteral("OUTPUT")});
    makeReadRequest(a.positional[0], readOptionsFrom(a));
    return notAvailable("csv");
}

}  // namespace qrn::cli
