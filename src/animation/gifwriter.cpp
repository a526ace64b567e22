#include "animation/gifwriter.h"

#include <gif_lib.h>

#include <QByteArray>
#include <QDir>
#include <QIODevice>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <vector>

#include "animation/lzw.h"
#include "dataset/error.h"
#include "dataset/savetarget.h"
#include "dataset/systemerror.h"

namespace qrn::gif {

namespace {

constexpr qsizetype kFlushAt = 1 << 18;
constexpr std::uint8_t kDisposeNone = 1;  // leave the frame in place for the next

QString shown(const QString& name) { return QDir::toNativeSeparators(name); }

// Closes an abandoned giflib handle even when the writer's constructor throws.
struct GifHandle {
    GifFileType* gif = nullptr;
    GifHandle() = default;
    GifHandle(const GifHandle&) = delete;
    GifHandle& operator=(const GifHandle&) = delete;
    ~GifHandle() {
        if (gif) EGifCloseFile(gif, nullptr);
    }
};

QString giflibReason(int code) {
    const char* text = GifErrorString(code);
    return text ? QString::fromLatin1(text) : QStringLiteral("giflib error %1").arg(code);
}

}  // namespace

class GifWriter::Impl {
  public:
    Impl(std::unique_ptr<QSaveFile> file, QIODevice& device, const QString& name,
         const Palette& palette, int width, int height)
        : file_(std::move(file)),
          device_(device),
          name_(name),
          palette_(palette),
          mapper_(palette_),
          width_(width),
          height_(height) {
        if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
            throw QrnError(QStringLiteral("GIFファイル「%1」を作成できません。\n"
                                          "画像の大きさ %2×%3 はGIFファイルに書けません。")
                               .arg(shown(name_))
                               .arg(width)
                               .arg(height),
                           kGifTitle);
        if (file_ && (isReadOnlyFile(name_) || !file_->open(QIODevice::WriteOnly)))
            throw QrnError(QStringLiteral("GIFファイル「%1」を作成できません。\n%2")
                               .arg(shown(name_), isReadOnlyFile(name_) ? kReadOnlyTarget
                                                                        : systemErrorText(*file_)),
                           kGifTitle);
        int error = 0;
        gif_ = EGifOpen(this, &Impl::output, &error);
        if (!gif_) failWrite(giflibReason(error));
        EGifSetGifVersion(gif_, true);

        const int size = palette_.tableSize();
        std::vector<GifColorType> table(static_cast<std::size_t>(size), GifColorType{0, 0, 0});
        for (std::size_t i = 0; i < palette_.colours().size(); ++i) {
            const Rgb c = palette_.colours()[i];
            table[i] = GifColorType{static_cast<GifByteType>(c >> 16),
                                    static_cast<GifByteType>(c >> 8), static_cast<GifByteType>(c)};
        }
        ColorMapObject* map = GifMakeMapObject(size, table.data());
        if (!map) failWrite(giflibReason(E_GIF_ERR_NOT_ENOUGH_MEM));
        // giflib keeps its own copy of the table.
        const int put = EGifPutScreenDesc(gif_, width_, height_, palette_.bitsPerPixel(), 0, map);
        GifFreeMapObject(map);
        check(put);

        // Loop forever: NETSCAPE2.0 with a loop count of 0.
        static const GifByteType kApp[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        static const GifByteType kLoop[] = {1, 0, 0};
        check(EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE));
        check(EGifPutExtensionBlock(gif_, static_cast<int>(sizeof kApp), kApp));
        check(EGifPutExtensionBlock(gif_, static_cast<int>(sizeof kLoop), kLoop));
        check(EGifPutExtensionTrailer(gif_));
        flush();
    }

    void addFrame(const Rgb32View& view, int delay) {
        if (view.isNull() || view.width != width_ || view.height != height_)
            failSize(view.width, view.height);
        current_.width = width_;
        current_.height = height_;
        current_.pixels.resize(static_cast<std::size_t>(width_) * height_);
        for (int y = 0; y < height_; ++y) mapper_.mapRow(view.row(y), width_, current_.row(y));
        putFrame(current_, delay);
        std::swap(previous_, current_);
    }

    void addFrame(const IndexedFrame& frame, int delay) {
        if (frame.width != width_ || frame.height != height_ ||
            frame.pixels.size() != static_cast<std::size_t>(width_) * height_)
            failSize(frame.width, frame.height);
        // An index beyond the colours would also run off the encoder's table.
        const std::uint8_t colours = palette_.transparentIndex();
        if (std::any_of(frame.pixels.begin(), frame.pixels.end(),
                        [colours](std::uint8_t index) { return index >= colours; }))
            failWrite(
                QStringLiteral("%1枚目の画像に色の表にない色番号があります。").arg(frames_ + 1));
        putFrame(frame, delay);
        previous_ = frame;
    }

    void finish() {
        if (!gif_) failWrite(QStringLiteral("ファイルは既に閉じられています。"));
        if (frames_ == 0) failWrite(QStringLiteral("画像がありません。"));
        int error = 0;
        const int closed = EGifCloseFile(gif_, &error);  // frees gif_ whatever the result
        gif_ = nullptr;
        if (closed != GIF_OK) failWrite(giflibReason(error));
        flush();
        if (file_ && !holdsAll(*file_, written_)) failWrite(kIncompleteWrite);
        if (file_ && !file_->commit())
            throw QrnError(QStringLiteral("GIFファイル「%1」の書き込みに失敗しました。\n%2")
                               .arg(shown(name_), systemErrorText(*file_)),
                           kGifTitle);
    }

    int frames() const { return frames_; }

  private:
    static int output(GifFileType* gif, const GifByteType* data, int length) {
        auto* self = static_cast<Impl*>(gif->UserData);
        self->buffer_.append(reinterpret_cast<const char*>(data), length);
        return length;
    }

    void flush() {
        if (buffer_.isEmpty()) return;
        if (device_.write(buffer_) != buffer_.size())
            failWrite(systemErrorText(QFileDevice::WriteError, device_.errorString()));
        written_ += buffer_.size();
        buffer_.clear();
    }

    void check(int result) {
        if (result != GIF_OK) failWrite(giflibReason(gif_ ? gif_->Error : 0));
    }

    [[noreturn]] void failWrite(const QString& reason) {
        throw QrnError(QStringLiteral("GIFファイル「%1」の書き込みに失敗しました。\n%2")
                           .arg(shown(name_), reason),
                       kGifTitle);
    }

    [[noreturn]] void failSize(int width, int height) {
        throw QrnError(QStringLiteral("GIFファイル「%1」の書き込みに失敗しました。\n"
                                      "画像の大きさ %2×%3 が最初の画像 %4×%5 と違います。")
                           .arg(shown(name_))
                           .arg(width)
                           .arg(height)
                           .arg(width_)
                           .arg(height_),
                       kGifTitle);
    }

    void putControl(int delay, bool transparent) {
        if (delay < 0 || delay > kMaxDelay)
            failWrite(QStringLiteral("表示時間 %1/100秒 はGIFファイルに書けません。").arg(delay));
        const GifByteType block[4] = {
            static_cast<GifByteType>((kDisposeNone << 2) | (transparent ? 1 : 0)),
            static_cast<GifByteType>(delay & 0xFF), static_cast<GifByteType>(delay >> 8),
            static_cast<GifByteType>(transparent ? palette_.transparentIndex() : 0)};
        check(
            EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(sizeof block), block));
    }

    void putFrame(const IndexedFrame& frame, int delay) {
        if (!gif_) failWrite(QStringLiteral("ファイルは既に閉じられています。"));
        if (frames_ == 0) {
            putControl(delay, false);
            check(EGifPutImageDesc(gif_, 0, 0, width_, height_, false, nullptr));
            lzw_.begin();
            for (int y = 0; y < height_; ++y) lzw_.putRow(frame.row(y), width_);
            putImageData();
        } else {
            putDelta(frame, delay);
        }
        ++frames_;
        if (buffer_.size() >= kFlushAt) flush();
    }

    // Only the rectangle that differs from the previous frame, unchanged pixels
    // transparent; a frame equal to its predecessor becomes one transparent pixel.
    void putDelta(const IndexedFrame& frame, int delay) {
        const std::size_t w = static_cast<std::size_t>(width_);
        int top = 0;
        while (top < height_ && std::memcmp(frame.row(top), previous_.row(top), w) == 0) ++top;
        int left = 0, right = 0, bottom = 0;  // right and bottom exclusive
        if (top < height_) {
            bottom = height_;
            while (std::memcmp(frame.row(bottom - 1), previous_.row(bottom - 1), w) == 0) --bottom;
            left = width_;
            right = 0;
            for (int y = top; y < bottom; ++y) {
                const std::uint8_t* a = frame.row(y);
                const std::uint8_t* b = previous_.row(y);
                for (int x = 0; x < left; ++x)
                    if (a[x] != b[x]) {
                        left = x;
                        break;
                    }
                for (int x = width_ - 1; x >= right; --x)
                    if (a[x] != b[x]) {
                        right = x + 1;
                        break;
                    }
            }
        } else {
            top = 0;
            bottom = 1;
            right = 1;
        }
        const int rw = right - left;
        putControl(delay, true);
        check(EGifPutImageDesc(gif_, left, top, rw, bottom - top, false, nullptr));
        const std::uint8_t clear = palette_.transparentIndex();
        lzw_.begin();
        for (int y = top; y < bottom; ++y)
            lzw_.putDeltaRow(frame.row(y) + left, previous_.row(y) + left, rw, clear);
        putImageData();
    }

    // giflib has written the code-size byte with the descriptor; the data
    // sub-blocks are ours, the closing empty block giflib's again.
    void putImageData() {
        const std::vector<std::uint8_t>& blocks = lzw_.finish();
        std::size_t at = 0;
        while (at < blocks.size()) {
            const GifByteType* block = blocks.data() + at;
            check(at == 0 ? EGifPutCode(gif_, palette_.bitsPerPixel(), block)
                          : EGifPutCodeNext(gif_, block));
            at += std::size_t{block[0]} + 1;
        }
        check(EGifPutCodeNext(gif_, nullptr));
    }

    std::unique_ptr<QSaveFile> file_;
    QIODevice& device_;
    QString name_;
    Palette palette_;
    ColourMapper mapper_;
    int width_;
    int height_;
    QByteArray buffer_;
    qint64 written_ = 0;  // bytes handed to the device
    // Declared after the buffer: an abandoned handle still writes its trailer
    // there while closing; it is dropped, and the QSaveFile removes its temporary.
    GifHandle handle_;
    GifFileType*& gif_ = handle_.gif;
    IndexedFrame previous_;
    IndexedFrame current_;
    LzwEncoder lzw_{palette_.bitsPerPixel()};
    int frames_ = 0;
};

GifWriter::GifWriter(const QString& path, const Palette& palette, int width, int height) {
    auto file = std::make_unique<QSaveFile>(path);
    QIODevice& device = *file;
    impl_ = std::make_unique<Impl>(std::move(file), device, path, palette, width, height);
}

GifWriter::GifWriter(QIODevice& device, const QString& name, const Palette& palette, int width,
                     int height)
    : impl_(std::make_unique<Impl>(nullptr, device, name, palette, width, height)) {}

GifWriter::~GifWriter() = default;

void GifWriter::addFrame(const Rgb32View& view, int delay) { impl_->addFrame(view, delay); }
void GifWriter::addFrame(const IndexedFrame& frame, int delay) { impl_->addFrame(frame, delay); }
void GifWriter::finish() { impl_->finish(); }
int GifWriter::frameCount() const { return impl_->frames(); }

}  // namespace qrn::gif
