#pragma once
// Four series of a million steps each, as displacement histories look in the
// CSV's metres: a slow swing, a faster gallop and noise, whole millimetres.

#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis/series.h"

namespace qrn::bench {

inline constexpr std::int64_t kSteps = 1'000'000;
inline constexpr int kSeries = 4;
inline constexpr int kColumns = 1600;

inline std::vector<analysis::Series> longSeries() {
    std::vector<analysis::Series> out(kSeries);
    std::uint32_t r = 2024;
    for (int k = 0; k < kSeries; ++k) {
        analysis::Series& s = out[static_cast<std::size_t>(k)];
        s.label = QStringLiteral("系列 %1").arg(k + 1);
        s.quantity = analysis::Quantity::Displacement;
        s.grid.dt = 0.001;
        s.grid.count = kSteps;
        s.values.resize(static_cast<std::size_t>(kSteps));
        for (std::int64_t i = 0; i < kSteps; ++i) {
            r = r * 1664525U + 1013904223U;
            const double t = 0.001 * static_cast<double>(i);
            const double mm = 1500.0 * std::sin(0.21 * t + k) + 400.0 * std::sin(6.3 * t) +
                              static_cast<double>(r >> 24) - 128.0;
            s.values[static_cast<std::size_t>(i)] = std::round(mm) / 1000.0;
        }
    }
    return out;
}

}  // namespace qrn::bench
