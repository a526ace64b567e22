// qrnconv frame INPUT OUTPUT.png: one frame of the viewer as a PNG.
// Not part of the program yet: the options are checked, then the command
// reports that it is not available.
#include "cli/commands.h"

namespace qrn::cli {

QString usageFrame() {
    return QStringLiteral(
               "使い方: qrnconv frame INPUT OUTPUT.png [読込オプション] [表示オプション] "
               "[--points FILE]\n"
               "INPUT を読み込み、画像シミュレーション画面の１コマを PNG 画像に描画します。\n\n"
               "  --points FILE     投影した節点ごとに \"slot,index,node,ScrX,ScrY\" "
               "を書き出す\n\n") +
           readOptionsHelp() + QChar(u'\n') + viewOptionsHelp();
}

int runFrame(const QStringList& args) {
    auto specs = readOptionSpecs();
    const auto view = viewOptionSpecs();
    specs.insert(specs.end(), view.begin(), view.end());
    specs.push_back({QStringLiteral("points"), true});
    const ParsedArgs a = parseArgs(args, specs);
    if (a.help) {
        printHelp(usageFrame());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT"), QStringLiteral("OUTPUT.png")});
    makeReadRequest(a.positional[0], readOptionsFrom(a));
    return notAvailable("frame");
}

}  // namespace qrn::cli
