// qrnconv gif INPUT OUTPUT.gif: the GIF dialog's animation export.
// Not part of the program yet: the options are checked, then the command
// reports that it is not available.
#include "cli/commands.h"

namespace qrn::cli {

QString usageGif() {
    return QStringLiteral(
               "使い方: qrnconv gif INPUT OUTPUT.gif [読込オプション] [表示オプション] "
               "[GIFオプション]\n"
               "INPUT を読み込み、リアルモードの画像を時間範囲について GIF "
               "アニメーションに出力します。\n\n"
               "GIFオプション:\n"
               "  --from TEXT --to TEXT --every TEXT   時間の範囲と間隔\n"
               "  --speed TEXT      再生速度\n\n") +
           readOptionsHelp() + QChar(u'\n') + viewOptionsHelp();
}

int runGif(const QStringList& args) {
    auto specs = readOptionSpecs();
    const auto view = viewOptionSpecs();
    specs.insert(specs.end(), view.begin(), view.end());
    for (const char* n : {"from", "to", "every", "speed"})
        specs.push_back({QString::fromLatin1(n), true});
    const ParsedArgs a = parseArgs(args, specs);
    if (a.help) {
        printHelp(usageGif());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT"), QStringLiteral("OUTPUT.gif")});
    makeReadRequest(a.positional[0], readOptionsFrom(a));
    return notAvailable("gif");
}

}  // namespace qrn::cli
