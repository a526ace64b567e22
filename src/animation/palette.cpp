#include "animation/palette.h"

#include <algorithm>
#include <limits>

namespace qrn::gif {

namespace {

constexpr Rgb kRgbMask = 0xFFFFFFu;

int distance2(Rgb a, Rgb b) {
    const int dr = static_cast<int>((a >> 16) & 0xFF) - static_cast<int>((b >> 16) & 0xFF);
    const int dg = static_cast<int>((a >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
    const int db = static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF);
    return dr * dr + dg * dg + db * db;
}

}  // namespace

Palette::Palette(std::initializer_list<Rgb> canvasColours)
    : Palette(canvasColours.begin(), static_cast<int>(canvasColours.size())) {}

Palette::Palette(const Rgb* canvasColours, int count)
    : colours_(kClassicColours.begin(), kClassicColours.end()) {
    // 255 opaque entries at most, so the transparent slot still fits a byte.
    for (int i = 0; i < count && colours_.size() < 255; ++i) {
        const Rgb c = canvasColours[i] & kRgbMask;
        if (std::find(colours_.begin(), colours_.end(), c) == colours_.end()) colours_.push_back(c);
    }
}

int Palette::bitsPerPixel() const {
    int bits = 1;
    while ((1 << bits) < static_cast<int>(colours_.size()) + 1) ++bits;
    return bits;
}

int Palette::tableSize() const { return 1 << bitsPerPixel(); }

std::uint8_t Palette::nearest(Rgb colour) const {
    colour &= kRgbMask;
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < colours_.size(); ++i) {
        const int d = distance2(colour, colours_[i]);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
            if (d == 0) break;
        }
    }
    return static_cast<std::uint8_t>(best);
}

ColourMapper::ColourMapper(const Palette& palette)
    : palette_(palette),
      keys_(kSlots, kEmpty),
      values_(kSlots, 0),
      lastColour_(palette.colours().front()),
      lastIndex_(0) {}

std::uint8_t ColourMapper::lookup(Rgb colour) {
    // Open addressing; a frame with more colours than the table holds (a photo
    // pasted in, say) just starts the cache afresh.
    if (used_ >= kSlots / 2) {
        std::fill(keys_.begin(), keys_.end(), kEmpty);
        used_ = 0;
    }
    std::uint32_t slot = (colour * 2654435761u) >> 22;  // 10 bits
    while (true) {
        if (keys_[slot] == colour) return values_[slot];
        if (keys_[slot] == kEmpty) break;
        slot = (slot + 1) & (kSlots - 1);
    }
    const std::uint8_t index = palette_.nearest(colour);
    keys_[slot] = colour;
    values_[slot] = index;
    ++used_;
    return index;
}

std::uint8_t ColourMapper::map(std::uint32_t pixel) {
    const Rgb colour = pixel & kRgbMask;
    if (colour != lastColour_) {
        lastIndex_ = lookup(colour);
        lastColour_ = colour;
    }
    return lastIndex_;
}

void ColourMapper::mapRow(const std::uint32_t* in, int count, std::uint8_t* out) {
    // Line art is long runs of one colour: one compare per pixel on the way.
    Rgb colour = lastColour_;
    std::uint8_t index = lastIndex_;
    for (int i = 0; i < count; ++i) {
        const Rgb c = in[i] & kRgbMask;
        if (c != colour) {
            index = lookup(c);
            colour = c;
        }
        out[i] = index;
    }
    lastColour_ = colour;
    lastIndex_ = index;
}

IndexedFrame toIndexed(const Rgb32View& view, int x, int y, int width, int height,
                       ColourMapper& mapper) {
    IndexedFrame frame;
    if (view.isNull()) return frame;
    // Clip in 64 bits so huge requests cannot overflow.
    const long long left = std::max<long long>(x, 0);
    const long long top = std::max<long long>(y, 0);
    const long long right = std::min<long long>(static_cast<long long>(x) + width, view.width);
    const long long bottom = std::min<long long>(static_cast<long long>(y) + height, view.height);
    if (right <= left || bottom <= top) return frame;
    frame.width = static_cast<int>(right - left);
    frame.height = static_cast<int>(bottom - top);
    frame.pixels.resize(static_cast<std::size_t>(frame.width) * frame.height);
    for (int r = 0; r < frame.height; ++r)
        mapper.mapRow(view.row(static_cast<int>(top) + r) + left, frame.width, frame.row(r));
    return frame;
}

}  // namespace qrn::gif
