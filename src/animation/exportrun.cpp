#include "animation/exportrun.h"

#include <QFileInfo>

#include "animation/gifwriter.h"
#include "dataset/error.h"

namespace qrn::gif {

ExportFormat formatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("mp4")) return ExportFormat::Mp4;
    if (suffix == QLatin1String("webm")) return ExportFormat::WebM;
    return ExportFormat::Gif;
}

QString exportCaption(ExportFormat format) {
    return format == ExportFormat::Gif ? QStringLiteral("GIFアニメ作成中")
                                       : QStringLiteral("動画作成中");
}

void runExport(const ExportPlan& plan, const DrawFrame& draw, const OpenSink& open,
               Progress& progress) {
    if (plan.count < 1) throw QrnError(QStringLiteral("画像がありません。"), kGifTitle);
    std::unique_ptr<FrameSink> sink;
    for (std::int32_t i = 0; i < plan.count; ++i) {
        if (progress.cancelRequested()) throw Cancelled();
        const Rgb32View view = draw(plan.stepAt(i));
        if (view.isNull()) throw QrnError(QStringLiteral("画面を取り込めません。"), kGifTitle);
        if (!sink) sink = open(view.width, view.height);
        sink->addFrame(view);
        progress.progress(static_cast<double>(i + 1) / plan.count);
    }
    if (progress.cancelRequested()) throw Cancelled();
    sink->finish();
}

namespace {

class GifSink final : public FrameSink {
  public:
    GifSink(const QString& path, const Palette& palette, int width, int height, int delay)
        : writer_(path, palette, width, height), delay_(delay) {}
    void addFrame(const Rgb32View& view) override { writer_.addFrame(view, delay_); }
    void finish() override { writer_.finish(); }

  private:
    GifWriter writer_;
    int delay_;
};

}  // namespace

OpenSink gifSink(const ExportPlan& plan, const Palette& palette) {
    return [path = plan.path, palette, delay = plan.delay](int width, int height) {
        return std::make_unique<GifSink>(path, palette, width, height, delay);
    };
}

}  // namespace qrn::gif
