#pragma once
// Decodes a GIF with tools that share no code with our writer: ImageMagick
// (frames coalesced to full pictures, delays) and gifsicle (loop count, and a
// second full decoding that must report no fault in the code stream).

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace qrn::gif::test {

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<std::vector<std::uint32_t>> frames;  // 0xRRGGBB per pixel, row by row
    std::vector<int> delays;                         // 1/100 s
    bool loopsForever = false;
};

// Empty message when the tools are there; otherwise why the test must be skipped.
QString decoderMissing();

// Decodes `path`; fails the running test (and returns empty) when a tool fails.
std::optional<Decoded> decode(const QString& path);

}  // namespace qrn::gif::test
