// qrnconv save INPUT OUTPUT: the binary dataset file, as DataSave writes it.
// Not part of the program yet: the options are checked, then the command
// reports that it is not available.
#include "cli/commands.h"

namespace qrn::cli {

QString usageSave() {
    return QStringLiteral(
               "使い方: qrnconv save INPUT OUTPUT [読込オプション]\n"
               "INPUT を読み込み、OUTPUT にバイナリ保管ファイル（.qrn3 形式）として保存します。\n"
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
    makeReadRequest(a.positional[0], readOptionsFrom(a));
    return notAvailable("save");
}

}  // namespace qrn::cli
