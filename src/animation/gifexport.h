#pragma once
// The export rules of the animation dialog ("アニメーション作成"), shared by the
// dialog, `qrnconv gif` and `qrnconv video`: the image count, the GIF delay, the
// video frame rate, the checks that keep an export finite and inside the time
// axis, and the run that steps through the images and writes the GIF.
//
// Dialog use:
//   label text   imageCountText(texts)               on every change of the four boxes
//   opening      openingEndText(intervalText, stepMax) for "終了時間(s)"
//   Start        plan = planExport(request)          (throws QrnError: show, title kGifTitle)
//                end box := plan.endText
//                exportAnimation(plan, palette, draw, progress)   (throws QrnError too)
// where draw(step) sets the viewer to that time step, lets it draw and returns a
// view of the picture's pixels, valid until the next call.

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "animation/frame.h"
#include "animation/palette.h"

namespace qrn::gif {

// Initial texts of the dialog's boxes.
inline const QString kInitialStartText = QStringLiteral("0");
inline const QString kInitialEndText = QStringLiteral("5");
inline const QString kInitialEveryText = QStringLiteral("0.1");
inline const QString kInitialSpeedText = QStringLiteral("10");

// The four time boxes as typed: 開始時間(s), 終了時間(s), 作成間隔(s), 描画速度.
struct ExportTexts {
    QString start = kInitialStartText;
    QString end = kInitialEndText;
    QString every = kInitialEveryText;
    QString speed = kInitialSpeedText;
};

// Number of images: floor((end - start) / every + 1e-9) + 1; the small margin
// keeps an end that is a whole number of intervals away (0.3 / 0.1) from losing
// its last image to rounding. Empty when it cannot be computed (every <= 0,
// values not finite, or beyond 64 bits); may be 0 or negative when end < start.
std::optional<std::int64_t> imageCount(double start, double end, double every);

// The "画像枚数" label: the count of the boxes' values, "0" when no image can be made.
QString imageCountText(const ExportTexts& texts);

// Delay per image in 1/100 s: round(100 × every / speed) (to nearest, ties to
// even), at least 1 (viewers stretch a delay of 0 to about 0.1 s). Empty when
// speed is not > 0 or the result does not fit a GIF delay.
std::optional<int> delayValue(double every, double speed);

// Frames per second num / den of a video: speed / every as the simplest fraction
// within 1e-9 of it (every 0.05 s at speed 1 gives 20 / 1, every 0.03 s 100 / 3),
// so the time stamps are exact. Empty when speed / every is not > 0 or needs
// terms beyond 31 bits.
struct FrameRate {
    std::int32_t num = 0;
    std::int32_t den = 1;
    bool operator==(const FrameRate&) const = default;
};
std::optional<FrameRate> frameRate(double every, double speed);

// "終了時間(s)" when the dialog opens: the data's end, interval × stepMax, in the
// general number format; empty when the interval text is not a number.
std::optional<QString> openingEndText(const QString& intervalText, int stepMax);

struct ExportRequest {
    ExportTexts texts;
    QString path;          // 出力ファイル
    QString intervalText;  // the main window's calculation interval (seconds per time step)
    int stepMax = 0;       // the time scroll bar's maximum
};

// A checked export: every image's time step lies in 0..stepMax.
struct ExportPlan {
    QString path;
    QString endText;  // the end box after capping to the data (as typed otherwise)
    bool endCapped = false;
    double start = 0;
    double every = 0;
    double speed = 0;
    double interval = 0;
    int stepMax = 0;
    std::int32_t count = 0;  // images
    int delay = 0;           // 1/100 s per image

    // Time step of image i (0 <= i < count): round((start + i × every) / interval).
    int stepAt(std::int32_t i) const;
};

// Checks the request and fixes the images. An end beyond the data is first cut to
// it. Throws QrnError (Japanese message, title kGifTitle) for an empty path, an
// interval or speed that is not > 0, a negative start, a start beyond the data,
// an end before the start, or a delay beyond what GIF can hold.
ExportPlan planExport(const ExportRequest& request);

// Draws the frame at a time step and returns a view of it, valid until the next call.
using DrawFrame = std::function<Rgb32View(int step)>;
// Called after each image is written (done = 1..total).
using ExportProgress = std::function<void(std::int32_t done, std::int32_t total)>;

// Draws every image of the plan in order and writes the animation. The frames
// are written as they are drawn, so only two are held at a time. Throwing from
// either callback aborts: the temporary is removed and no file is changed.
void exportAnimation(const ExportPlan& plan, const Palette& palette, const DrawFrame& draw,
                     const ExportProgress& progress = {});

}  // namespace qrn::gif
