#pragma once
// GIF's LZW compression of one image, with a twist for animation deltas: a
// pixel that did not change may be written either as its colour or as the
// transparent index, and the encoder takes whichever continues the string it
// is matching. Strings then keep matching across the unchanged area, which
// makes delta frames markedly smaller than "unchanged = transparent" alone.
//
// Output: the image's data sub-blocks (length byte, up to 255 bytes each),
// without the leading code-size byte and the closing empty block, which
// giflib writes around them (EGifPutImageDesc, EGifPutCodeNext).

#include <cstdint>
#include <vector>

namespace qrn::gif {

class LzwEncoder {
  public:
    // `minCodeSize` 2..8: bits of a pixel index (at least 2, as GIF requires).
    explicit LzwEncoder(int minCodeSize);

    // Starts an image (a clear code first).
    void begin();
    // A row of pixels that must be as given.
    void putRow(const std::uint8_t* row, int count);
    // A row of a delta frame: pixels equal to `before` may also be `transparent`.
    void putDeltaRow(const std::uint8_t* row, const std::uint8_t* before, int count,
                     std::uint8_t transparent);
    // Ends the image; the sub-blocks stay valid until the next begin().
    const std::vector<std::uint8_t>& finish();

  private:
    // One pixel that may be written as `a` or as `b` (the same for a fixed pixel).
    void step(std::uint8_t a, std::uint8_t b);
    void writeCode(int code);
    void clearTable();
    void pushByte(std::uint8_t byte);

    static constexpr int kMaxCodes = 4096;
    const int minCodeSize_;
    const int alphabet_;
    const int clearCode_;
    const int endCode_;
    std::vector<std::uint16_t> child_;  // code × alphabet → extended code, 0 = none
    int nextCode_ = 0;
    int codeSize_ = 0;
    int current_ = -1;  // string being matched, -1 before the first pixel
    std::uint8_t last_ = 0;
    std::uint32_t bits_ = 0;
    int bitCount_ = 0;
    std::vector<std::uint8_t> blocks_;
    std::size_t blockStart_ = 0;
};

}  // namespace qrn::gif
