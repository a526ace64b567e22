#include "animation/gifexport.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "animation/exportrun.h"
#include "animation/gifwriter.h"
#include "dataset/error.h"
#include "dataset/numbers.h"

namespace qrn::gif {

namespace {

[[noreturn]] void fail(const QString& message) { throw QrnError(message, kGifTitle); }

}  // namespace

std::optional<std::int64_t> imageCount(double start, double end, double every) {
    if (!std::isfinite(start) || !std::isfinite(end) || !std::isfinite(every) || !(every > 0))
        return std::nullopt;
    const double images = std::floor((end - start) / every + 1e-9) + 1;
    // Inside ±9e18 the conversion to 64 bits is exact and defined.
    if (!std::isfinite(images) || std::fabs(images) > 9.0e18) return std::nullopt;
    return static_cast<std::int64_t>(images);
}

QString imageCountText(const ExportTexts& texts) {
    const auto count = imageCount(num::leadingValue(texts.start), num::leadingValue(texts.end),
                                  num::leadingValue(texts.every));
    if (!count || *count < 1) return QStringLiteral("0");
    return num::formatGeneralQ(static_cast<double>(*count));
}

std::optional<int> delayValue(double every, double speed) {
    if (!std::isfinite(every) || !std::isfinite(speed) || !(speed > 0)) return std::nullopt;
    const double hundredths = num::roundHalfEven(100 * every / speed);
    if (!std::isfinite(hundredths) || hundredths < 0 || hundredths > kMaxDelay) return std::nullopt;
    return std::max(1, static_cast<int>(hundredths));
}

std::optional<FrameRate> frameRate(double every, double speed) {
    const double rate = speed / every;
    if (!std::isfinite(rate) || !(rate > 0)) return std::nullopt;
    // Convergents of the continued fraction, the first close enough wins.
    constexpr double kLimit = std::numeric_limits<std::int32_t>::max();
    double num0 = 0, num1 = 1, den0 = 1, den1 = 0;
    double rest = rate;
    for (int term = 0; term < 64; ++term) {
        const double a = std::floor(rest);
        const double num = a * num1 + num0, den = a * den1 + den0;
        if (num > kLimit || den > kLimit) break;
        num0 = num1, num1 = num, den0 = den1, den1 = den;
        if (std::fabs(num1 / den1 - rate) <= 1e-9 * rate || rest == a) break;
        rest = 1 / (rest - a);
    }
    if (!(num1 >= 1) || !(den1 >= 1)) return std::nullopt;
    return FrameRate{static_cast<std::int32_t>(num1), static_cast<std::int32_t>(den1)};
}

std::optional<QString> openingEndText(const QString& intervalText, int stepMax) {
    const auto interval = num::strictValue(intervalText);
    if (!interval) return std::nullopt;
    return num::formatGeneralQ(*interval * stepMax);
}

int ExportPlan::stepAt(std::int32_t i) const {
    const double step = num::roundHalfEven((start + i * every) / interval);
    // planExport keeps every time inside the data; this only absorbs rounding
    // of the last image's time and any misuse of the index.
    if (!(step >= 0)) return 0;
    if (step > stepMax) return stepMax;
    return static_cast<int>(step);
}

ExportPlan planExport(const ExportRequest& request) {
    const ExportTexts& texts = request.texts;
    ExportPlan plan;
    plan.path = request.path;
    if (request.path.trimmed().isEmpty()) fail(QStringLiteral("出力ファイルを指定してください。"));

    const auto interval = num::strictValue(request.intervalText);
    if (!interval || !std::isfinite(*interval) || !(*interval > 0))
        fail(QStringLiteral("計算間隔「%1」が正しくありません。0より大きい数値を指定してください。")
                 .arg(request.intervalText));
    if (request.stepMax < 0) fail(QStringLiteral("時間データがありません。"));
    plan.interval = *interval;
    plan.stepMax = request.stepMax;

    plan.every = num::leadingValue(texts.every);
    if (!std::isfinite(plan.every) || !(plan.every > 0))
        fail(QStringLiteral("作成間隔(s)には0より大きい値を入力してください。"));
    const double speed = num::leadingValue(texts.speed);
    if (!std::isfinite(speed) || !(speed > 0))
        fail(QStringLiteral("描画速度には0より大きい値を入力してください。"));
    plan.speed = speed;
    const auto delay = delayValue(plan.every, speed);
    if (!delay)
        fail(
            QStringLiteral("作成間隔(s)÷描画速度が大きすぎます。"
                           "GIFファイルの1枚の表示時間は655秒までです。"));
    plan.delay = *delay;

    plan.start = num::leadingValue(texts.start);
    if (!std::isfinite(plan.start) || plan.start < 0)
        fail(QStringLiteral("開始時間(s)には0以上の値を入力してください。"));

    // An end beyond the data is cut to the data's end, through the box's text.
    const double dataEnd = plan.interval * plan.stepMax;
    plan.endText = texts.end;
    double end = num::leadingValue(texts.end);
    if (dataEnd < end) {
        plan.endText = num::formatGeneralQ(dataEnd);
        plan.endCapped = true;
        end = num::leadingValue(plan.endText);
    }
    if (plan.start > dataEnd)
        fail(QStringLiteral("開始時間(s)がデータの終了時間(%1秒)を超えています。")
                 .arg(num::formatGeneralQ(dataEnd)));

    const auto count = imageCount(plan.start, end, plan.every);
    if (!count || *count < 1)
        fail(QStringLiteral("終了時間(s)には開始時間(s)以上の値を入力してください。"));
    if (*count > std::numeric_limits<std::int32_t>::max())
        fail(QStringLiteral("画像枚数が多すぎます。作成間隔(s)を大きくしてください。"));
    plan.count = static_cast<std::int32_t>(*count);
    return plan;
}

void exportAnimation(const ExportPlan& plan, const Palette& palette, const DrawFrame& draw,
                     const ExportProgress& progress) {
    // Counts the images for the callback's "done of total".
    class Counter final : public Progress {
      public:
        Counter(const ExportProgress& report, std::int32_t total)
            : report_(report), total_(total) {}
        void message(const QString&, const QString&) override {}
        void progress(double) override {
            if (report_) report_(++done_, total_);
        }

      private:
        const ExportProgress& report_;
        std::int32_t total_;
        std::int32_t done_ = 0;
    } counter(progress, plan.count);
    runExport(plan, draw, gifSink(plan, palette), counter);
}

}  // namespace qrn::gif
