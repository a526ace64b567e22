// qrnconv gif INPUT OUTPUT.gif: the GIF dialog's animation export. The dialog
// belongs to the real-mode viewer, so the view defaults to real.
#include "animation/gifexport.h"
#include "animation/gifwriter.h"
#include "cli/commands.h"
#include "cli/terminalhost.h"
#include "cli/viewoptions.h"

namespace qrn::cli {

QString usageGif() {
    return QStringLiteral(
               "使い方: qrnconv gif INPUT OUTPUT.gif [読込オプション] [表示オプション] "
               "[GIFオプション]\n"
               "INPUT を読み込み、画像シミュレーション画面（既定はリアルモード）を時間範囲に\n"
               "ついて GIF アニメーションに出力します（アニメーション作成画面と同じ規則）。\n"
               "画像枚数は (終了時間 - 開始時間) / 作成間隔 の整数部 + 1、\n"
               "１枚の表示時間は 100 × 作成間隔 / 描画速度 を整数に丸めた 1/100 秒（1 以上）"
               "です。\n\n"
               "GIFオプション:\n"
               "  --from TEXT       開始時間(s)（既定 \"0\"）\n"
               "  --to TEXT         終了時間(s)（既定 データの終了時間。超える値はそこまで）\n"
               "  --every TEXT      作成間隔(s)（既定 \"0.1\"）\n"
               "  --speed TEXT      描画速度（既定 \"10\" 倍）\n\n") +
           readOptionsHelp() + QChar(u'\n') + viewOptionsHelp();
}

int runGif(const QStringList& args) {
    auto specs = readOptionSpecs();
    const auto view = viewOptionSpecs();
    specs.insert(specs.end(), view.begin(), view.end());
    const auto animation = animationOptionSpecs();
    specs.insert(specs.end(), animation.begin(), animation.end());
    const ParsedArgs a = parseArgs(args, specs);
    if (a.help) {
        printHelp(usageGif());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT"), QStringLiteral("OUTPUT.gif")});
    return runAnimationExport(a, [](const gif::ExportPlan& plan, const gif::DrawFrame& draw,
                                    TerminalHost& host) {
        // The canvas's own colours join the palette, so every pixel maps exactly.
        const gif::Palette palette({render::ImageCanvas::kBackground & 0xFFFFFFu,
                                    render::ImageCanvas::kForeground & 0xFFFFFFu});
        host.stage(QStringLiteral("GIFアニメ作成中"));
        gif::exportAnimation(plan, palette, draw, [&host](std::int32_t done, std::int32_t total) {
            host.progress(static_cast<double>(done) / total);
        });
    });
}

}  // namespace qrn::cli
