#pragma once
// Column access for the analysis program's fixed-column text lines.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "dataset/numbers.h"

namespace qrn::fields {

// Characters first..first+count-1 (1-based) of a line; shorter when the line ends.
inline std::string_view cols(std::string_view line, std::size_t first, std::size_t count) {
    if (first == 0 || first > line.size()) return {};
    return line.substr(first - 1, count);
}

// Leading value of the columns.
inline double value(std::string_view line, std::size_t first, std::size_t count) {
    return num::leadingValue(cols(line, first, count));
}

// Leading value rounded to a 32-bit integer; 0 when it does not fit.
inline std::int32_t integer(std::string_view line, std::size_t first, std::size_t count) {
    return num::roundToInt32(value(line, first, count)).value_or(0);
}

inline bool startsWith(std::string_view line, std::string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

}  // namespace qrn::fields

namespace qrn {

// A double stored as a 32-bit float: values beyond the float range become
// infinite instead of being converted out of range.
inline float toSingle(double v) {
    constexpr double kMax = 3.4028234663852886e38;
    if (v > kMax) return std::numeric_limits<float>::infinity();
    if (v < -kMax) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

}  // namespace qrn
