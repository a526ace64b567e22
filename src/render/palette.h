#pragma once
// The classic 16-colour palette the frame drawing picks its colours from.

#include <array>
#include <cstdint>

namespace qrn::render {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr std::array<Rgb, 16> kPalette{{
    {0, 0, 0},        // 0 black: fill colour
    {0, 0, 128},      // 1 navy: beam elements
    {0, 128, 0},      // 2 green
    {0, 128, 128},    // 3 teal: first marker of every cable
    {128, 0, 0},      // 4 maroon
    {128, 0, 128},    // 5 purple
    {128, 128, 0},    // 6 olive
    {192, 192, 192},  // 7 silver
    {128, 128, 128},  // 8 grey
    {0, 0, 255},      // 9 blue
    {0, 255, 0},      // 10 lime
    {0, 255, 255},    // 11 cyan
    {255, 0, 0},      // 12 red
    {255, 0, 255},    // 13 magenta
    {255, 255, 0},    // 14 yellow
    {255, 255, 255},  // 15 white
}};

}  // namespace qrn::render
