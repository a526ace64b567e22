#pragma once
// Our image library behind the GIF export: captures of the picture held under
// 32-bit handles and one call that writes them all as an animation.
//
//   DCtoDIB      copies a rectangle of the picture (independent of later drawing)
//   DIBtoGIFAni  writes the captures in array order: GIF89a, loop forever,
//                every image shown for `delay` hundredths of a second
//   DeleteDIB    releases a capture
//
// Captures are stored as palette indices (a quarter of the picture's memory).
// Failures throw qrn::QrnError with a Japanese message (title kGifTitle).

#include <QString>
#include <cstdint>
#include <unordered_map>

#include "animation/frame.h"
#include "animation/gifwriter.h"
#include "animation/palette.h"

namespace qrn::gif {

using DibHandle = std::int32_t;  // 0 is never a valid handle

class ImgCtl {
  public:
    explicit ImgCtl(const Palette& palette);
    ImgCtl(const ImgCtl&) = delete;
    ImgCtl& operator=(const ImgCtl&) = delete;

    DibHandle DCtoDIB(const Rgb32View& dc, std::int32_t x, std::int32_t y, std::int32_t width,
                      std::int32_t height);
    // `count` handles from `handles`; `delay` in 1/100 s (0..65535).
    void DIBtoGIFAni(const QString& path, const DibHandle* handles, std::int32_t count,
                     std::int32_t delay);
    // False for a handle that is not held (released twice, never made).
    bool DeleteDIB(DibHandle handle);

    // Captures currently held.
    int heldCount() const { return static_cast<int>(dibs_.size()); }

  private:
    Palette palette_;
    ColourMapper mapper_;
    std::unordered_map<DibHandle, IndexedFrame> dibs_;
    DibHandle next_ = 1;
};

}  // namespace qrn::gif
