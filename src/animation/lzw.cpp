#include "animation/lzw.h"

#include <algorithm>

namespace qrn::gif {

LzwEncoder::LzwEncoder(int minCodeSize)
    : minCodeSize_(std::clamp(minCodeSize, 2, 8)),
      alphabet_(1 << minCodeSize_),
      clearCode_(alphabet_),
      endCode_(alphabet_ + 1),
      child_(static_cast<std::size_t>(kMaxCodes) * alphabet_, 0) {}

void LzwEncoder::clearTable() {
    // Only rows of codes handed out since the last clear can hold entries.
    std::fill(child_.begin(), child_.begin() + static_cast<std::ptrdiff_t>(nextCode_) * alphabet_,
              0);
    nextCode_ = endCode_ + 1;
    codeSize_ = minCodeSize_ + 1;
}

void LzwEncoder::begin() {
    blocks_.clear();
    blockStart_ = 0;
    bits_ = 0;
    bitCount_ = 0;
    current_ = -1;
    last_ = 0;
    nextCode_ = kMaxCodes;  // clear everything from an earlier image
    clearTable();
    codeSize_ = minCodeSize_ + 1;
    writeCode(clearCode_);
}

void LzwEncoder::pushByte(std::uint8_t byte) {
    if (blocks_.size() == blockStart_) blocks_.push_back(0);  // length, filled in below
    blocks_.push_back(byte);
    if (++blocks_[blockStart_] == 255) blockStart_ = blocks_.size();
}

// The width grows after a code is written once the next free code no longer
// fits, which is when the decoder, one entry behind, grows it too.
void LzwEncoder::writeCode(int code) {
    bits_ |= static_cast<std::uint32_t>(code) << bitCount_;
    bitCount_ += codeSize_;
    while (bitCount_ >= 8) {
        pushByte(static_cast<std::uint8_t>(bits_ & 0xFF));
        bits_ >>= 8;
        bitCount_ -= 8;
    }
    if (nextCode_ >= (1 << codeSize_) && codeSize_ < 12) ++codeSize_;
}

inline void LzwEncoder::step(std::uint8_t a, std::uint8_t b) {
    // Prefer the symbol chosen last, so runs go on when both would do.
    if (b != a && b == last_) std::swap(a, b);
    if (current_ < 0) {
        current_ = a;
        last_ = a;
        return;
    }
    const std::size_t row = static_cast<std::size_t>(current_) * alphabet_;
    if (const int next = child_[row + a]) {
        current_ = next;
        last_ = a;
        return;
    }
    if (b != a) {
        if (const int next = child_[row + b]) {
            current_ = next;
            last_ = b;
            return;
        }
    }
    writeCode(current_);
    if (nextCode_ < kMaxCodes) {
        child_[row + a] = static_cast<std::uint16_t>(nextCode_++);
    } else {
        writeCode(clearCode_);
        clearTable();
    }
    current_ = a;
    last_ = a;
}

void LzwEncoder::putRow(const std::uint8_t* row, int count) {
    for (int i = 0; i < count; ++i) step(row[i], row[i]);
}

void LzwEncoder::putDeltaRow(const std::uint8_t* row, const std::uint8_t* before, int count,
                             std::uint8_t transparent) {
    for (int i = 0; i < count; ++i) step(row[i], row[i] == before[i] ? transparent : row[i]);
}

const std::vector<std::uint8_t>& LzwEncoder::finish() {
    if (current_ >= 0) writeCode(current_);
    writeCode(endCode_);
    if (bitCount_ > 0) pushByte(static_cast<std::uint8_t>(bits_ & 0xFF));
    bits_ = 0;
    bitCount_ = 0;
    return blocks_;
}

}  // namespace qrn::gif
