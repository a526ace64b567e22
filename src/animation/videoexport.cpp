#include "animation/videoexport.h"

#include "animation/gifwriter.h"
#include "dataset/error.h"

namespace qrn::gif {

namespace {

class VideoSink final : public FrameSink {
  public:
    VideoSink(const QString& path, const video::VideoSettings& settings)
        : writer_(path, settings) {}
    void addFrame(const Rgb32View& view) override { writer_.addFrame(view); }
    void finish() override { writer_.finish(); }

  private:
    video::VideoWriter writer_;
};

}  // namespace

OpenSink videoSink(const ExportPlan& plan, video::Codec codec, const ExportSettings& settings) {
    const auto rate = frameRate(plan.every, plan.speed);
    if (!rate)
        throw QrnError(QStringLiteral("作成間隔(s)÷描画速度から動画のコマ数/秒を決められません。"),
                       kGifTitle);
    video::VideoSettings s;
    s.codec = codec;
    s.rate = *rate;
    s.crf = settings.crf.value_or(-1);
    s.background = settings.background;
    return [path = plan.path, s](int width, int height) mutable {
        s.width = width;
        s.height = height;
        return std::make_unique<VideoSink>(path, s);
    };
}

void exportFile(const ExportPlan& plan, const ExportSettings& settings, const DrawFrame& draw,
                Progress& progress) {
    const ExportFormat format = formatOf(plan.path);
    progress.stage(exportCaption(format));
    switch (format) {
        case ExportFormat::Gif:
            return runExport(plan, draw, gifSink(plan, settings.palette), progress);
        case ExportFormat::Mp4:
            return runExport(plan, draw, videoSink(plan, video::Codec::H264, settings), progress);
        case ExportFormat::WebM:
            return runExport(plan, draw, videoSink(plan, video::Codec::Vp9, settings), progress);
    }
}

}  // namespace qrn::gif
