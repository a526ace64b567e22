#pragma once
// Helpers shared by the projections and the frame drawing (not installed API).

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <optional>

#include "dataset/dataset.h"

namespace qrn::render::detail {

// Stores a higher-precision result as a 32-bit float the way the hardware
// does, without the undefined conversion of an out-of-range double: values
// beyond the float range become infinities, NaN stays NaN.
inline float f32(double v) {
    if (std::fabs(v) <= double(FLT_MAX) || std::isnan(v)) return static_cast<float>(v);
    return v > 0 ? INFINITY : -INFINITY;
}

// A pixel coordinate: nearest 32-bit integer, ties to even (the default
// rounding mode); empty when not finite or out of range.
inline std::optional<std::int32_t> roundPixel(double v) {
    const double r = std::nearbyint(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return std::nullopt;
    return static_cast<std::int32_t>(r);
}

// True when the dataset's counts and arrays agree well enough to index
// NodePos, CableInfo and (for a frame) NodeDisp/NodeTwist0 without leaving
// their bounds.
bool geometryOk(const Dataset& ds);
bool historyOk(const Dataset& ds, std::int64_t t);

// Re-creates a [0..CableMax+1, 0..NodeMax(, 0..k)] array, all zero, reusing
// the storage when the bounds did not change.
void recreate(BArray<float, 2>& a, const Dataset& ds);
void recreate(BArray<float, 3>& a, const Dataset& ds, std::int64_t k);

}  // namespace qrn::render::detail
