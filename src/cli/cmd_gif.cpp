// qrnconv gif INPUT OUTPUT.gif: the GIF dialog's animation export. The dialog
// belongs to the real-mode viewer, so the view defaults to real.
#include <new>

#include "animation/gifexport.h"
#include "animation/gifwriter.h"
#include "animation/qimageview.h"
#include "cli/commands.h"
#include "cli/readinput.h"
#include "cli/viewoptions.h"
#include "dataset/error.h"

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
    for (const char* n : {"from", "to", "every", "speed"})
        specs.push_back({QString::fromLatin1(n), true});
    const ParsedArgs a = parseArgs(args, specs);
    if (a.help) {
        printHelp(usageGif());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT"), QStringLiteral("OUTPUT.gif")});
    const ReadRequest request = makeReadRequest(a.positional[0], readOptionsFrom(a));
    const viewer::FrameOptions options = frameOptionsFrom(a);

    Dataset data;
    TerminalHost host;
    const ReadResult r = readInput(data, request, host);
    if (!r.completed) return ExitFailed;
    try {
        viewer::FrameJob job(data, options);
        // The dialog as it opens (start "0", end at the data's end, the other
        // boxes at their initial texts), then the options typed into it.
        gif::ExportRequest req;
        req.texts.start = a.value(QStringLiteral("from")).value_or(gif::kInitialStartText);
        req.texts.end = a.value(QStringLiteral("to"))
                            .value_or(gif::openingEndText(r.intervalText, job.stepMax())
                                          .value_or(gif::kInitialEndText));
        req.texts.every = a.value(QStringLiteral("every")).value_or(gif::kInitialEveryText);
        req.texts.speed = a.value(QStringLiteral("speed")).value_or(gif::kInitialSpeedText);
        req.path = a.positional[1];
        req.intervalText = r.intervalText;
        req.stepMax = job.stepMax();
        const gif::ExportPlan plan = gif::planExport(req);

        // The canvas's own colours join the palette, so every pixel maps exactly.
        const gif::Palette palette({render::ImageCanvas::kBackground & 0xFFFFFFu,
                                    render::ImageCanvas::kForeground & 0xFFFFFFu});
        host.stage(QStringLiteral("GIFアニメ作成中"));
        gif::exportAnimation(
            plan, palette,
            [&job](int step) {
                job.setTimeStep(step);
                return gif::viewOf(job.image());
            },
            [&host](std::int32_t done, std::int32_t total) {
                host.progress(static_cast<double>(done) / total);
            });
        host.endProgress();
    } catch (const QrnError& e) {
        host.message(e.title(), e.message());
        return ExitFailed;
    } catch (const std::bad_alloc&) {
        host.message(gif::kGifTitle, QStringLiteral("メモリが不足しているため、") +
                                         a.positional[1] +
                                         QStringLiteral("を出力できませんでした。"));
        return ExitFailed;
    }
    return ExitOk;
}

}  // namespace qrn::cli
