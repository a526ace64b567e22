// qrnconv save INPUT OUTPUT: the binary dataset file, as DataSave writes it.
#include "cli/commands.h"
#include "cli/readinput.h"
#include "files/datafile.h"

namespace qrn::cli {

QString usageSave() {
    return QStringLiteral(
               "使い方: qrnconv save INPUT OUTPUT [読込オプション]\n"
               "INPUT を読み込み、OUTPUT にバイナリ保管ファイル（.qrn3 形式）として保存します。\n"
               "OUTPUT の名前にかかわらず現在の形式で書き込みます。表示開始・終了節点は読込の\n"
               "ままです（解析結果の読込では 0、バイナリ保管ファイルではファイルの値）。\n"
               "初期設定ファイルだけの読込（作業モード 4, 7）の後は保存できません。\n\n") +
           readOptionsHelp();
}

int runSave(const QStringList& args) {
    const ParsedArgs a = parseArgs(args, readOptionSpecs());
    if (a.help) {
        printHelp(usageSave());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT"), QStringLiteral("OUTPUT")});
    const ReadRequest request = makeReadRequest(a.positional[0], readOptionsFrom(a));
    const QString output = a.positional[1];

    Dataset data;
    TerminalHost host;
    const ReadResult r = readInput(data, request, host);
    if (!r.completed) return ExitFailed;
    if (!historiesRead(r, host, QStringLiteral("保存"))) return ExitFailed;
    // No viewer opens in between, so FirstNode/LastNode go out as the read left them.
    host.stage(QStringLiteral("データ保存中"));
    const SaveResult saved = SaveDataFileAs(data, output, r.intervalText, host);
    host.endProgress();
    host.show(saved.outcome.notices);
    return saved.saved ? ExitOk : ExitFailed;
}

}  // namespace qrn::cli
