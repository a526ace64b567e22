#include "animation/imgctl.h"

#include <QDir>
#include <limits>

#include "dataset/error.h"

namespace qrn::gif {

ImgCtl::ImgCtl(const Palette& palette) : palette_(palette), mapper_(palette_) {}

DibHandle ImgCtl::DCtoDIB(const Rgb32View& dc, std::int32_t x, std::int32_t y, std::int32_t width,
                          std::int32_t height) {
    IndexedFrame frame = toIndexed(dc, x, y, width, height, mapper_);
    if (frame.width == 0)
        throw QrnError(
            QStringLiteral("画面を取り込めません。(画像の大きさ %1×%2)").arg(width).arg(height),
            kGifTitle);
    // Handles count up and wrap past the 32-bit range, skipping those still held.
    while (next_ == 0 || dibs_.count(next_))
        next_ = next_ == std::numeric_limits<DibHandle>::max() ? 1 : next_ + 1;
    const DibHandle handle = next_;
    next_ = next_ == std::numeric_limits<DibHandle>::max() ? 1 : next_ + 1;
    dibs_.emplace(handle, std::move(frame));
    return handle;
}

void ImgCtl::DIBtoGIFAni(const QString& path, const DibHandle* handles, std::int32_t count,
                         std::int32_t delay) {
    const QString shown = QDir::toNativeSeparators(path);
    auto fail = [&](const QString& reason) {
        throw QrnError(QStringLiteral("GIFファイル「%1」を作成できません。\n%2").arg(shown, reason),
                       kGifTitle);
    };
    if (path.isEmpty()) fail(QStringLiteral("出力ファイルが指定されていません。"));
    if (count < 1 || !handles) fail(QStringLiteral("画像がありません。"));
    if (delay < 0 || delay > kMaxDelay)
        fail(QStringLiteral("表示時間 %1/100秒 はGIFファイルに書けません。").arg(delay));
    // Check every handle before anything is written.
    for (std::int32_t i = 0; i < count; ++i)
        if (!dibs_.count(handles[i])) fail(QStringLiteral("%1枚目の画像がありません。").arg(i + 1));
    const IndexedFrame& first = dibs_.at(handles[0]);
    GifWriter writer(path, palette_, first.width, first.height);
    for (std::int32_t i = 0; i < count; ++i) writer.addFrame(dibs_.at(handles[i]), delay);
    writer.finish();
}

bool ImgCtl::DeleteDIB(DibHandle handle) { return dibs_.erase(handle) > 0; }

}  // namespace qrn::gif
