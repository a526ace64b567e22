// qrnconv video INPUT OUT.mp4|OUT.webm: the animation dialog's export as a
// video, on the GIF export's frame rules. The view defaults to real, as there.
#include "animation/gifexport.h"
#include "animation/gifwriter.h"
#include "animation/videoexport.h"
#include "cli/commands.h"
#include "cli/terminalhost.h"
#include "cli/viewoptions.h"

namespace qrn::cli {

QString usageVideo() {
    return QStringLiteral(
               "使い方: qrnconv video INPUT OUT.mp4|OUT.webm [読込オプション] [表示オプション] "
               "[GIFオプション] [--crf N]\n"
               "INPUT を読み込み、画像シミュレーション画面（既定はリアルモード）を時間範囲に\n"
               "ついて動画に出力します。OUT.mp4 は H.264 (MP4)、OUT.webm は VP9 (WebM) です。\n"
               "画像はアニメーション作成画面と同じ規則で作り（画像枚数は\n"
               "(終了時間 - 開始時間) / 作成間隔 の整数部 + 1）、毎秒 描画速度 / 作成間隔 コマで\n"
               "再生されます。\n\n"
               "GIFオプション:\n"
               "  --from TEXT       開始時間(s)（既定 \"0\"）\n"
               "  --to TEXT         終了時間(s)（既定 データの終了時間。超える値はそこまで）\n"
               "  --every TEXT      作成間隔(s)（既定 \"0.1\"）\n"
               "  --speed TEXT      描画速度（既定 \"10\" 倍）\n"
               "  --crf N           画質（小さいほど高画質で大きなファイル）。H.264 は 0〜51"
               "（既定 18）、\n"
               "                    VP9 は 0〜63（既定 32）\n\n") +
           readOptionsHelp() + QChar(u'\n') + viewOptionsHelp();
}

int runVideo(const QStringList& args) {
    auto specs = readOptionSpecs();
    const auto view = viewOptionSpecs();
    specs.insert(specs.end(), view.begin(), view.end());
    const auto animation = animationOptionSpecs();
    specs.insert(specs.end(), animation.begin(), animation.end());
    specs.push_back({QStringLiteral("crf"), true});
    const ParsedArgs a = parseArgs(args, specs);
    if (a.help) {
        printHelp(usageVideo());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT"), QStringLiteral("OUT.mp4|OUT.webm")});
    const gif::ExportFormat format = gif::formatOf(a.positional[1]);
    if (format == gif::ExportFormat::Gif)
        throw UsageError(QStringLiteral("出力ファイル %1 の拡張子は .mp4 か .webm にしてください。")
                             .arg(a.positional[1]));
    const video::Codec codec =
        format == gif::ExportFormat::Mp4 ? video::Codec::H264 : video::Codec::Vp9;
    gif::ExportSettings settings;
    if (const auto crf = a.value(QStringLiteral("crf"))) {
        const auto [low, high] = video::crfRange(codec);
        settings.crf = static_cast<int>(intOption(QStringLiteral("crf"), *crf, low, high));
    }
    settings.background = render::ImageCanvas::kBackground & 0xFFFFFFu;
    return runAnimationExport(
        a, [&settings](const gif::ExportPlan& plan, const gif::DrawFrame& draw,
                       TerminalHost& host) { gif::exportFile(plan, settings, draw, host); });
}

}  // namespace qrn::cli
