#include "animation/videowriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <array>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "animation/gifwriter.h"
#include "dataset/error.h"
#include "dataset/savetarget.h"
#include "dataset/systemerror.h"

namespace qrn::video {

const char* encoderName(Codec codec) { return codec == Codec::H264 ? "libx264" : "libvpx-vp9"; }
int defaultCrf(Codec codec) { return codec == Codec::H264 ? 18 : 32; }
std::pair<int, int> crfRange(Codec codec) {
    return codec == Codec::H264 ? std::pair{0, 51} : std::pair{0, 63};
}

namespace {

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

// FFmpeg logs to stderr by default; we keep its last error line for our own
// message instead (the encoders log from their threads, hence the lock).
std::mutex logLock;
QString lastLogLine;

void keepErrors(void* object, int level, const char* format, va_list args) {
    if (level > AV_LOG_ERROR) return;
    char line[1024];
    int printPrefix = 1;
    av_log_format_line2(object, level, format, args, line, sizeof line, &printPrefix);
    const std::lock_guard<std::mutex> hold(logLock);
    lastLogLine = QString::fromUtf8(line).trimmed();
}

void takeOverLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(keepErrors); });
    const std::lock_guard<std::mutex> hold(logLock);
    lastLogLine.clear();
}

// FFmpeg's reason for a failure: its error text, and what it last logged.
QString reason(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    QString r = QString::fromUtf8(text);
    const std::lock_guard<std::mutex> hold(logLock);
    if (!lastLogLine.isEmpty()) r += QStringLiteral("（") + lastLogLine + QStringLiteral("）");
    lastLogLine.clear();
    return r;
}

QString codecLabel(Codec codec) {
    return codec == Codec::H264 ? QStringLiteral("H.264 (MP4)") : QStringLiteral("VP9 (WebM)");
}

struct FreeCodec {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FreeFrame {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct FreePacket {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FreeScaler {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct FreeFormat {
    void operator()(AVFormatContext* f) const {
        if (f->pb) avio_closep(&f->pb);
        avformat_free_context(f);
    }
};

// Picture in 32-bit pixels (0xAARRGGBB in native order, QImage::Format_RGB32) to
// yuv420p, limited range, BT.709 as the stream is tagged; same size.
SwsContext* makeScaler(int width, int height) {
    SwsContext* s = sws_getContext(width, height, AV_PIX_FMT_RGB32, width, height,
                                   AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (s)
        sws_setColorspaceDetails(s, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                                 sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
    return s;
}

}  // namespace

class VideoWriter::Impl {
  public:
    Impl(const QString& path, const VideoSettings& settings) : path_(path), s_(settings) {
        takeOverLog();
        const char* name = s_.encoder ? s_.encoder : encoderName(s_.codec);
        const AVCodec* codec = avcodec_find_encoder_by_name(name);
        if (!codec)
            fail(QStringLiteral("動画エンコーダ「%1」が見つかりません。\n"
                                "インストールされている FFmpeg のライブラリでは %2 の動画を"
                                "作成できません。")
                     .arg(QString::fromLatin1(name), codecLabel(s_.codec)));
        if (s_.width < 1 || s_.height < 1)
            failCreate(QStringLiteral("画像の大きさ %1×%2 は動画にできません。")
                           .arg(s_.width)
                           .arg(s_.height));
        if (s_.crf < 0) s_.crf = defaultCrf(s_.codec);
        const auto [low, high] = crfRange(s_.codec);
        if (s_.crf > high)
            failCreate(QStringLiteral("画質(CRF) %1 は %2〜%3 で指定してください。")
                           .arg(s_.crf)
                           .arg(low)
                           .arg(high));
        if (s_.rate.num < 1 || s_.rate.den < 1)
            failCreate(QStringLiteral("コマ数/秒 %1/%2 は動画にできません。")
                           .arg(s_.rate.num)
                           .arg(s_.rate.den));
        openTemporary();
        openEncoder(codec, name);
        openFile();
        preparePicture();
    }

    void addFrame(const gif::Rgb32View& view) {
        if (finished_) failWrite(QStringLiteral("ファイルは既に閉じられています。"));
        if (view.isNull() || view.width != s_.width || view.height != s_.height)
            failWrite(QStringLiteral("画像の大きさ %1×%2 が最初の画像 %3×%4 と違います。")
                          .arg(view.width)
                          .arg(view.height)
                          .arg(s_.width)
                          .arg(s_.height));
        // Only copied by an encoder that still holds the previous picture.
        check(av_frame_make_writable(frame_.get()), false);
        const std::uint8_t* source[1] = {reinterpret_cast<const std::uint8_t*>(view.pixels)};
        const int stride[1] = {static_cast<int>(view.stride * 4)};
        sws_scale(scaler_.get(), source, stride, 0, s_.height, frame_->data, frame_->linesize);
        padLuma();
        frame_->pts = frames_;
        encode(frame_.get());
        ++frames_;
    }

    void finish() {
        if (finished_) failWrite(QStringLiteral("ファイルは既に閉じられています。"));
        if (frames_ == 0) failWrite(QStringLiteral("画像がありません。"));
        encode(nullptr);
        check(av_write_trailer(format_.get()), false);
        check(format_->pb->error, false);
        check(avio_closep(&format_->pb), false);
        format_.reset();
        finished_ = true;
        replaceTarget();
    }

    int frames() const { return static_cast<int>(frames_); }

  private:
    [[noreturn]] void fail(const QString& message) const {
        throw QrnError(message, gif::kGifTitle);
    }
    [[noreturn]] void failCreate(const QString& why) const {
        fail(QStringLiteral("動画ファイル「%1」を作成できません。\n%2").arg(shown(path_), why));
    }
    [[noreturn]] void failWrite(const QString& why) const {
        fail(QStringLiteral("動画ファイル「%1」の書き込みに失敗しました。\n%2")
                 .arg(shown(path_), why));
    }
    void check(int code, bool creating) const {
        if (code >= 0) return;
        creating ? failCreate(reason(code)) : failWrite(reason(code));
    }

    // The temporary goes next to the target, so the final rename stays on one
    // volume. The target is first tried the way a GIF is written, so that a
    // folder that cannot be written or a read-only target gets the same message.
    void openTemporary() {
        if (isReadOnlyFile(path_)) failCreate(kReadOnlyTarget);
        QSaveFile probe(path_);
        if (!probe.open(QIODevice::WriteOnly)) failCreate(systemErrorText(probe));
        probe.cancelWriting();
        const QFileInfo target(path_);
        temp_ =
            std::make_unique<QTemporaryFile>(target.absoluteFilePath() + QStringLiteral(".XXXXXX"));
        if (!temp_->open()) failCreate(systemErrorText(*temp_));
        tempName_ = temp_->fileName();
        temp_->close();  // FFmpeg opens it by name
    }

    void openEncoder(const AVCodec* codec, const char* name) {
        const QByteArray file = tempName_.toUtf8();
        AVFormatContext* f = nullptr;
        check(avformat_alloc_output_context2(&f, nullptr, s_.codec == Codec::H264 ? "mp4" : "webm",
                                             file.constData()),
              true);
        format_.reset(f);
        stream_ = avformat_new_stream(f, nullptr);
        codec_.reset(avcodec_alloc_context3(codec));
        if (!stream_ || !codec_) check(AVERROR(ENOMEM), true);

        AVCodecContext* c = codec_.get();
        c->width = s_.width + (s_.width & 1);  // yuv420p needs even sides
        c->height = s_.height + (s_.height & 1);
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->time_base = AVRational{s_.rate.den, s_.rate.num};
        c->framerate = AVRational{s_.rate.num, s_.rate.den};
        c->sample_aspect_ratio = AVRational{1, 1};
        c->color_range = AVCOL_RANGE_MPEG;
        c->colorspace = AVCOL_SPC_BT709;
        c->color_primaries = AVCOL_PRI_BT709;
        c->color_trc = AVCOL_TRC_BT709;
        c->thread_count = 0;  // as many as the machine has, as the ffmpeg tool does
        if (f->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (s_.codec == Codec::H264) {
            av_opt_set(c->priv_data, "preset", "medium", 0);
            av_opt_set_double(c->priv_data, "crf", s_.crf, 0);
        } else {
            c->bit_rate = 0;  // with a CRF: constant quality
            av_opt_set_int(c->priv_data, "crf", s_.crf, 0);
            av_opt_set_int(c->priv_data, "row-mt", 1, 0);
            av_opt_set_int(c->priv_data, "cpu-used", 2, 0);
        }
        const int opened = avcodec_open2(c, codec, nullptr);
        if (opened < 0)
            fail(QStringLiteral("動画エンコーダ「%1」を開始できません。\n%2")
                     .arg(QString::fromLatin1(name), reason(opened)));
        check(avcodec_parameters_from_context(stream_->codecpar, c), true);
        stream_->time_base = c->time_base;
        stream_->avg_frame_rate = c->framerate;
        packet_.reset(av_packet_alloc());
        if (!packet_) check(AVERROR(ENOMEM), true);
    }

    void openFile() {
        AVFormatContext* f = format_.get();
        check(avio_open(&f->pb, tempName_.toUtf8().constData(), AVIO_FLAG_WRITE), true);
        AVDictionary* options = nullptr;
        if (s_.codec == Codec::H264) av_dict_set(&options, "movflags", "+faststart", 0);
        const int written = avformat_write_header(f, &options);
        av_dict_free(&options);
        check(written, true);
    }

    // The padding column and row of an odd size in the background's luma. The
    // conversion may write a few pixels past the picture's width, so after each.
    void padLuma() {
        AVFrame* p = frame_.get();
        std::uint8_t* y = p->data[0];
        const std::ptrdiff_t stride = p->linesize[0];
        if (s_.width & 1)
            for (int r = 0; r < s_.height; ++r) y[r * stride + s_.width] = padding_[0];
        if (s_.height & 1)
            std::memset(y + s_.height * stride, padding_[0], static_cast<std::size_t>(p->width));
    }

    // The encoder's picture, filled with the background once: the chroma of the
    // padding stays as it is, the luma is mended after each conversion.
    void preparePicture() {
        frame_.reset(av_frame_alloc());
        if (!frame_) check(AVERROR(ENOMEM), true);
        AVFrame* p = frame_.get();
        p->format = AV_PIX_FMT_YUV420P;
        p->width = codec_->width;
        p->height = codec_->height;
        p->color_range = codec_->color_range;
        p->colorspace = codec_->colorspace;
        p->color_primaries = codec_->color_primaries;
        p->color_trc = codec_->color_trc;
        check(av_frame_get_buffer(p, 0), true);
        scaler_.reset(makeScaler(s_.width, s_.height));
        if (!scaler_) check(AVERROR(ENOMEM), true);

        // The background's Y, U, V through the same conversion.
        const std::uint32_t pixels[4] = {0xFF000000u | s_.background, 0xFF000000u | s_.background,
                                         0xFF000000u | s_.background, 0xFF000000u | s_.background};
        std::uint8_t y[4], u[1], v[1];
        const std::unique_ptr<SwsContext, FreeScaler> tiny(makeScaler(2, 2));
        if (!tiny) check(AVERROR(ENOMEM), true);
        const std::uint8_t* source[1] = {reinterpret_cast<const std::uint8_t*>(pixels)};
        const int sourceStride[1] = {8};
        std::uint8_t* target[3] = {y, u, v};
        const int targetStride[3] = {2, 1, 1};
        sws_scale(tiny.get(), source, sourceStride, 0, 2, target, targetStride);
        padding_ = {y[0], u[0], v[0]};
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane == 0 ? p->height : p->height / 2;
            for (int r = 0; r < rows; ++r)
                std::memset(p->data[plane] + static_cast<std::ptrdiff_t>(r) * p->linesize[plane],
                            padding_[static_cast<std::size_t>(plane)],
                            static_cast<std::size_t>(p->linesize[plane]));
        }
    }

    // Sends a picture (nullptr: the end) and writes every packet the encoder has ready.
    void encode(const AVFrame* picture) {
        AVCodecContext* c = codec_.get();
        check(avcodec_send_frame(c, picture), false);
        for (;;) {
            const int got = avcodec_receive_packet(c, packet_.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
            check(got, false);
            AVPacket* p = packet_.get();
            // Each packet is one picture: one frame time, which the last picture needs too.
            if (p->duration == 0) p->duration = 1;
            av_packet_rescale_ts(p, c->time_base, stream_->time_base);
            p->stream_index = stream_->index;
            check(av_interleaved_write_frame(format_.get(), p), false);
        }
    }

    void replaceTarget() {
        // A new file gets the permissions a saved file gets; a replaced one keeps its own.
        const QFileInfo target(path_);
        QFile::setPermissions(tempName_, target.exists() ? target.permissions()
                                                         : QFile::ReadOwner | QFile::WriteOwner |
                                                               QFile::ReadUser | QFile::WriteUser |
                                                               QFile::ReadGroup | QFile::ReadOther);
        std::error_code error;
        std::filesystem::rename(std::filesystem::path(tempName_.toStdU16String()),
                                std::filesystem::path(path_.toStdU16String()), error);
        if (error) failWrite(QString::fromLocal8Bit(error.message().c_str()));
        temp_->setAutoRemove(false);
    }

    QString path_;
    VideoSettings s_;
    // Destroyed last: FFmpeg has let go of the temporary before it is removed.
    std::unique_ptr<QTemporaryFile> temp_;  // removes the temporary unless renamed
    QString tempName_;
    std::unique_ptr<AVFormatContext, FreeFormat> format_;
    AVStream* stream_ = nullptr;  // owned by format_
    std::unique_ptr<AVCodecContext, FreeCodec> codec_;
    std::unique_ptr<AVPacket, FreePacket> packet_;
    std::unique_ptr<AVFrame, FreeFrame> frame_;
    std::unique_ptr<SwsContext, FreeScaler> scaler_;
    std::array<std::uint8_t, 3> padding_{};  // the background's Y, U, V
    std::int64_t frames_ = 0;
    bool finished_ = false;
};

VideoWriter::VideoWriter(const QString& path, const VideoSettings& settings)
    : impl_(std::make_unique<Impl>(path, settings)) {}
VideoWriter::~VideoWriter() = default;
void VideoWriter::addFrame(const gif::Rgb32View& view) { impl_->addFrame(view); }
void VideoWriter::finish() { impl_->finish(); }
int VideoWriter::frameCount() const { return impl_->frames(); }

}  // namespace qrn::video
