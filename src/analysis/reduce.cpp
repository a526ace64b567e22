// Min/max-per-column reduction: one pass over the visible values.
#include "analysis/reduce.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

// SSE2 is part of every x86-64 processor; other targets use the plain loop.
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QRN_REDUCE_SSE2 1
#endif

namespace qrn::analysis {
namespace {

// First index in [lo, hi) for which `pred` holds; `pred` is false then true
// along the range (hi when it never holds).
template <typename Pred>
std::int64_t firstWhere(std::int64_t lo, std::int64_t hi, Pred pred) {
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (pred(mid)) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

struct Extremes {
    std::int64_t iLo, iHi;
};

// Points per block of the extremes search: a block's minimum and maximum come
// from independent running values (no branch, no long dependency chain);
// only a block that improves on them is searched again for the position.
constexpr std::int64_t kBlock = 64;

// The lowest and highest of n values, NaN left out (+inf and -inf when all
// are NaN). `x < m ? x : m` is what MINPD computes, NaN in x included.
void blockExtremes(const double* v, std::int64_t n, double& lo, double& hi) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    std::int64_t i = 0;
#ifdef QRN_REDUCE_SSE2
    __m128d l0 = _mm_set1_pd(kInf), l1 = l0;
    __m128d h0 = _mm_set1_pd(-kInf), h1 = h0;
    for (; i + 4 <= n; i += 4) {
        const __m128d a = _mm_loadu_pd(v + i);
        const __m128d b = _mm_loadu_pd(v + i + 2);
        l0 = _mm_min_pd(a, l0);
        l1 = _mm_min_pd(b, l1);
        h0 = _mm_max_pd(a, h0);
        h1 = _mm_max_pd(b, h1);
    }
    double l[4], h[4];
    _mm_storeu_pd(l, l0);
    _mm_storeu_pd(l + 2, l1);
    _mm_storeu_pd(h, h0);
    _mm_storeu_pd(h + 2, h1);
#else
    double l[4] = {kInf, kInf, kInf, kInf};
    double h[4] = {-kInf, -kInf, -kInf, -kInf};
    for (; i + 4 <= n; i += 4) {
        for (int k = 0; k < 4; ++k) {
            const double x = v[i + k];
            l[k] = x < l[k] ? x : l[k];
            h[k] = x > h[k] ? x : h[k];
        }
    }
#endif
    for (; i < n; ++i) {
        const double x = v[i];
        l[0] = x < l[0] ? x : l[0];
        h[0] = x > h[0] ? x : h[0];
    }
    lo = std::min(std::min(l[0], l[1]), std::min(l[2], l[3]));
    hi = std::max(std::max(h[0], h[1]), std::max(h[2], h[3]));
}

// The first position of the lowest and of the highest value in [first, last];
// values[first] is not NaN, and NaN never becomes an extreme.
Extremes extremes(const double* values, std::int64_t first, std::int64_t last) {
    double lo = values[first];
    double hi = lo;
    std::int64_t loBlock = -1;
    std::int64_t hiBlock = -1;
    const std::int64_t end = last + 1;
    for (std::int64_t b = first; b < end; b += kBlock) {
        const std::int64_t blockEnd = std::min(b + kBlock, end);
        double bl;
        double bh;
        blockExtremes(values + b, blockEnd - b, bl, bh);
        // Strictly lower or higher: on a tie the earlier block keeps it.
        if (bl < lo) {
            lo = bl;
            loBlock = b;
        }
        if (bh > hi) {
            hi = bh;
            hiBlock = b;
        }
    }
    const auto position = [&](std::int64_t block, double v) {
        if (block < 0) return first;
        std::int64_t i = block;
        while (values[i] != v) ++i;
        return i;
    };
    return {position(loBlock, lo), position(hiBlock, hi)};
}

}  // namespace

IndexRange pointsWithin(const StepGrid& grid, double t0, double t1) {
    IndexRange r;
    if (grid.count <= 0 || !(t1 >= t0)) return r;
    r.first = firstWhere(0, grid.count, [&](std::int64_t i) { return grid.time(i) >= t0; });
    r.end = firstWhere(r.first, grid.count, [&](std::int64_t i) { return grid.time(i) > t1; });
    return r;
}

QList<QPointF> reduceToColumns(const double* values, const StepGrid& grid, double t0, double t1,
                               int columns, double scale) {
    QList<QPointF> out;
    if (grid.count <= 0 || columns <= 0 || !(t1 >= t0)) return out;
    const IndexRange range = pointsWithin(grid, t0, t1);
    const auto keepPoint = [&](std::int64_t i) {
        out.append(QPointF(grid.time(i), values[i] * scale));
    };
    out.reserve(static_cast<qsizetype>(std::min<std::int64_t>(range.size(), 4LL * columns) + 2));
    if (range.first > 0 && !std::isnan(values[range.first - 1])) keepPoint(range.first - 1);

    const double perSecond = t1 > t0 ? static_cast<double>(columns) / (t1 - t0) : 0.0;
    const auto columnOf = [&](std::int64_t i) {
        const double c = std::floor((grid.time(i) - t0) * perSecond);
        return c < 0.0 ? 0 : c >= columns ? columns - 1 : static_cast<int>(c);
    };
    // The first point after `from` of a column beyond `column`: guessed from the
    // grid's spacing, then settled on the points' own columns.
    const auto columnEnd = [&](int column, std::int64_t from) {
        const double edge = t0 + static_cast<double>(column + 1) / perSecond;
        const double guess = std::ceil((edge / grid.dt - static_cast<double>(grid.first)) /
                                       static_cast<double>(grid.stride));
        std::int64_t i = range.end;
        if (guess < static_cast<double>(range.end))
            i = std::max(from, static_cast<std::int64_t>(std::max(guess, 0.0)));
        while (i > from && columnOf(i - 1) > column) --i;
        while (i < range.end && columnOf(i) <= column) ++i;
        return i;
    };
    std::int64_t begin = range.first;
    while (begin < range.end) {
        // The column of `begin` runs to the first point of a later column.
        const int column = columnOf(begin);
        const std::int64_t end = column == columns - 1 ? range.end : columnEnd(column, begin + 1);
        std::int64_t first = begin;
        while (first < end && std::isnan(values[first])) ++first;
        if (first < end) {
            std::int64_t last = end - 1;
            while (std::isnan(values[last])) --last;
            const Extremes e = extremes(values, first, last);
            const std::int64_t iLo = e.iLo;
            const std::int64_t iHi = e.iHi;
            std::array<std::int64_t, 4> keep{first, iLo, iHi, last};
            std::sort(keep.begin(), keep.end());
            std::int64_t previous = -1;
            for (const std::int64_t i : keep) {
                if (i != previous) keepPoint(i);
                previous = i;
            }
        }
        begin = end;
    }

    if (range.end < grid.count && !std::isnan(values[range.end])) keepPoint(range.end);
    return out;
}

QList<QPointF> reduceToColumns(const Series& s, double t0, double t1, int columns) {
    return reduceToColumns(s.values.data(), s.grid, t0, t1, columns, displayScale(s.quantity));
}

double sumWithin(const double* values, const StepGrid& grid, double t0, double t1) {
    const IndexRange range = pointsWithin(grid, t0, t1);
    // Four running sums, so the pass is bound by reading, not by the adder's latency.
    double s[4] = {0.0, 0.0, 0.0, 0.0};
    std::int64_t i = range.first;
    for (; i + 4 <= range.end; i += 4) {
        s[0] += values[i];
        s[1] += values[i + 1];
        s[2] += values[i + 2];
        s[3] += values[i + 3];
    }
    for (; i < range.end; ++i) s[0] += values[i];
    return (s[0] + s[1]) + (s[2] + s[3]);
}

}  // namespace qrn::analysis
