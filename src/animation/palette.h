#pragma once
// The one colour table of every GIF we write: the drawing's 16-colour palette,
// then the canvas colours that are not among them, then one transparent slot.
// Our pictures are line art in these colours, so no quantising is needed;
// anything else (anti-aliased text, a foreign colour) goes to the nearest entry.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "animation/frame.h"

namespace qrn::gif {

// Colours as 0xRRGGBB.
using Rgb = std::uint32_t;

// The classic 16-colour palette, indices 0..15.
inline constexpr std::array<Rgb, 16> kClassicColours = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
    0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

class Palette {
  public:
    // The 16 classic colours plus the given canvas colours (background,
    // foreground …) that are not among them already.
    explicit Palette(std::initializer_list<Rgb> canvasColours = {});
    Palette(const Rgb* canvasColours, int count);

    // Opaque colours, in table order.
    const std::vector<Rgb>& colours() const { return colours_; }
    // Index of the transparent slot, just after the opaque colours.
    std::uint8_t transparentIndex() const { return static_cast<std::uint8_t>(colours_.size()); }
    // Entries of the GIF colour table: a power of two holding the transparent slot.
    int tableSize() const;
    int bitsPerPixel() const;
    // Nearest opaque entry (squared RGB distance, lowest index on ties).
    std::uint8_t nearest(Rgb colour) const;

  private:
    std::vector<Rgb> colours_;
};

// Maps pixels to palette indices with a cache, as a frame has few colours.
class ColourMapper {
  public:
    explicit ColourMapper(const Palette& palette);
    std::uint8_t map(std::uint32_t pixel);
    void mapRow(const std::uint32_t* in, int count, std::uint8_t* out);

  private:
    static constexpr int kSlots = 1024;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;  // never an RGB value
    std::uint8_t lookup(Rgb colour);

    const Palette& palette_;
    std::vector<std::uint32_t> keys_;
    std::vector<std::uint8_t> values_;
    int used_ = 0;
    Rgb lastColour_;
    std::uint8_t lastIndex_;
};

// A copy of the rectangle (x, y, width, height) of the view in palette indices,
// clipped to the view; empty (width 0) when nothing remains.
IndexedFrame toIndexed(const Rgb32View& view, int x, int y, int width, int height,
                       ColourMapper& mapper);

}  // namespace qrn::gif
