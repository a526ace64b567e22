// qrnconv info INPUT: reads INPUT as execute does and prints what was read.
#include "cli/commands.h"
#include "cli/readinput.h"

namespace qrn::cli {

QString usageInfo() {
    return QStringLiteral(
               "使い方: qrnconv info INPUT [読込オプション] [--json]\n"
               "INPUT をメイン画面の「実 行」と同じ手順で読み込み、件数 (CableMax, NodeTblMax, "
               "NodeMax,\n"
               "BeamElemMax, BeamNodeMax, StepCount, StepMax, TensionMax, BeamRecCount)、間引き数、"
               "読込後の解析時間、\n"
               "単位の係数、読み込んだファイルを表示します。\n\n"
               "  --json            JSON オブジェクト１つで出力する\n") +
           readOptionsHelp();
}

int runInfo(const QStringList& args) {
    auto specs = readOptionSpecs();
    specs.push_back({QStringLiteral("json"), false});
    const ParsedArgs a = parseArgs(args, specs);
    if (a.help) {
        printHelp(usageInfo());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT")});
    const ReadRequest request = makeReadRequest(a.positional[0], readOptionsFrom(a));
    Dataset data;
    TerminalHost host;
    const ReadResult r = readInput(data, request, host);
    if (!r.completed) return ExitFailed;
    writeStdout(infoText(data, r, a.has(QStringLiteral("json"))));
    return ExitOk;
}

}  // namespace qrn::cli
