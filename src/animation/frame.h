#pragma once
// Plain pixel buffers the GIF writer works on, so the writer needs no QtGui:
// a borrowed view of 32-bit pixels (the layout of QImage::Format_RGB32, 0xAARRGGBB,
// alpha ignored) and an owned frame of palette indices.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qrn::gif {

// A view of someone else's pixels; valid as long as they are.
struct Rgb32View {
    const std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;  // pixels from one row to the next

    bool isNull() const { return pixels == nullptr || width <= 0 || height <= 0; }
    const std::uint32_t* row(int y) const {
        return pixels + static_cast<std::ptrdiff_t>(y) * stride;
    }
};

// One frame as indices into a Palette, rows stored without padding.
struct IndexedFrame {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    std::uint8_t* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * width; }
    const std::uint8_t* row(int y) const {
        return pixels.data() + static_cast<std::size_t>(y) * width;
    }
};

}  // namespace qrn::gif
