// Min/max-per-column reduction: one pass over the visible values.
#include "analysis/reduce.h"

#include <algorithm>
#include <array>
#include <cmath>

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
    std::int64_t begin = range.first;
    while (begin < range.end) {
        // The column of `begin` runs to the first point of a later column.
        const int column = columnOf(begin);
        const std::int64_t end = column == columns - 1
                                     ? range.end
                                     : firstWhere(begin + 1, range.end, [&](std::int64_t i) {
                                           return columnOf(i) > column;
                                       });
        std::int64_t first = begin;
        while (first < end && std::isnan(values[first])) ++first;
        if (first < end) {
            std::int64_t last = end - 1;
            while (std::isnan(values[last])) --last;
            double lo = values[first];
            double hi = lo;
            std::int64_t iLo = first;
            std::int64_t iHi = first;
            // NaN compares false both ways, so it never becomes an extreme.
            for (std::int64_t i = first + 1; i < last; ++i) {
                const double v = values[i];
                if (v < lo) {
                    lo = v;
                    iLo = i;
                }
                if (v > hi) {
                    hi = v;
                    iHi = i;
                }
            }
            if (values[last] < lo) iLo = last;
            if (values[last] > hi) iHi = last;
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
