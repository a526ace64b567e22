// The min/max-per-column reduction, on hand-computed cases.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "analysis/reduce.h"

using namespace qrn::analysis;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

StepGrid grid(double dt, std::int64_t first, std::int64_t stride, std::int64_t count) {
    StepGrid g;
    g.dt = dt;
    g.first = first;
    g.stride = stride;
    g.count = count;
    return g;
}

struct Case {
    const char* name;
    std::vector<double> values;
    StepGrid grid;
    double t0, t1;
    int columns;
    double scale;
    std::vector<QPointF> expected;
};

TEST(Reduce, KeepsFirstMinMaxLastOfEachColumn) {
    const Case cases[] = {
        // Columns [0..5] and [6..11]: the first, lowest, highest and last of each, once.
        {"two columns",
         {5, 7, 2, 9, 4, 6, 1, 8, 3, 3, 10, 0},
         grid(1, 0, 1, 12),
         0,
         11,
         2,
         1,
         {{0, 5}, {2, 2}, {3, 9}, {5, 6}, {6, 1}, {10, 10}, {11, 0}}},
        // Times 0.5 x (2 + 2i) = 1, 2, 3; values scaled x 2.
        {"grid and scale", {1, 2, 3}, grid(0.5, 2, 2, 3), 1, 3, 1, 2, {{1, 2}, {3, 6}}},
        // NaN never becomes an extreme, nor a first or last point.
        {"NaN left out",
         {kNaN, 4, kNaN, 1, 7, kNaN, kNaN, kNaN},
         grid(1, 0, 1, 8),
         0,
         7,
         2,
         1,
         {{1, 4}, {3, 1}, {4, 7}}},
        {"column of NaN only", {1, kNaN, kNaN, 2}, grid(1, 0, 1, 4), 0, 3, 4, 1, {{0, 1}, {3, 2}}},
        // Zoomed: the points within, and one beyond each edge so the line reaches it.
        {"zoomed",
         {0, 1, 4, 9, 16, 25, 36, 49, 64, 81},
         grid(1, 0, 1, 10),
         3.5,
         6.5,
         1,
         1,
         {{3, 9}, {4, 16}, {6, 36}, {7, 49}}},
        {"between two points",
         {0, 1, 4, 9, 16},
         grid(1, 0, 1, 5),
         3.2,
         3.8,
         100,
         1,
         {{3, 9}, {4, 16}}},
        {"more columns than points", {2, 8}, grid(1, 0, 1, 2), 0, 1, 1600, 1, {{0, 2}, {1, 8}}},
        {"empty grid", {}, grid(1, 0, 1, 0), 0, 1, 10, 1, {}},
    };
    for (const Case& c : cases) {
        const QList<QPointF> got =
            reduceToColumns(c.values.data(), c.grid, c.t0, c.t1, c.columns, c.scale);
        ASSERT_EQ(static_cast<std::size_t>(got.size()), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_EQ(got[static_cast<qsizetype>(i)], c.expected[i]) << c.name << " point " << i;
    }
}

// A long noisy series: every column's extremes survive exactly, the first and
// last points are kept, the output runs left to right and holds no NaN.
TEST(Reduce, LongSeriesKeepsEveryColumnsExtremes) {
    // Column edges fall at c x 99899 / 37, never near a whole second.
    constexpr int kPoints = 99'900;
    constexpr int kColumns = 37;
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> v(kPoints);
    for (int i = 0; i < kPoints; ++i) v[i] = (i % 997 == 5) ? kNaN : noise(rng) + i * 1e-4;
    const StepGrid g = grid(1, 0, 1, kPoints);
    const double t1 = g.time(kPoints - 1);
    const QList<QPointF> got = reduceToColumns(v.data(), g, 0.0, t1, kColumns, 1.0);

    ASSERT_FALSE(got.isEmpty());
    EXPECT_LE(got.size(), 4 * kColumns);
    EXPECT_EQ(got.front(), QPointF(0.0, v[0]));
    EXPECT_EQ(got.back(), QPointF(t1, v[kPoints - 1]));
    for (qsizetype i = 1; i < got.size(); ++i) EXPECT_LT(got[i - 1].x(), got[i].x());
    for (const QPointF& p : got) EXPECT_FALSE(std::isnan(p.y()));

    // Brute force: the columns' extremes by their time ranges.
    std::vector<double> lo(kColumns, INFINITY), hi(kColumns, -INFINITY);
    for (int i = 0; i < kPoints; ++i) {
        if (std::isnan(v[i])) continue;
        const int c = std::min(kColumns - 1, static_cast<int>(g.time(i) / t1 * kColumns));
        lo[c] = std::min(lo[c], v[i]);
        hi[c] = std::max(hi[c], v[i]);
    }
    std::vector<double> gotLo(kColumns, INFINITY), gotHi(kColumns, -INFINITY);
    for (const QPointF& p : got) {
        const int c = std::min(kColumns - 1, static_cast<int>(p.x() / t1 * kColumns));
        gotLo[c] = std::min(gotLo[c], p.y());
        gotHi[c] = std::max(gotHi[c], p.y());
    }
    EXPECT_EQ(gotLo, lo);
    EXPECT_EQ(gotHi, hi);
}

TEST(Reduce, NearestStepAndPointsWithin) {
    const StepGrid g = grid(0.05, 0, 1, 400);
    const struct {
        double t;
        std::int64_t expected;
    } nearest[] = {{10.0, 200}, {10.02, 200}, {10.03, 201}, {-1.0, 0}, {100.0, 399}, {kNaN, 0}};
    for (const auto& n : nearest) EXPECT_EQ(g.nearest(n.t), n.expected) << n.t;
    // Times 0.5, 2, 3.5, 5: 1.2 is nearer 0.5, 1.3 nearer 2.
    const StepGrid sparse = grid(0.5, 1, 3, 4);
    EXPECT_EQ(sparse.nearest(1.2), 0);
    EXPECT_EQ(sparse.nearest(1.3), 1);
    EXPECT_EQ(grid(1, 0, 1, 0).nearest(3.0), -1);

    const IndexRange r = pointsWithin(sparse, 2.0, 4.0);
    EXPECT_EQ(r.first, 1);
    EXPECT_EQ(r.end, 3);
    EXPECT_EQ(pointsWithin(sparse, 4.0, 2.0).size(), 0);
    const double values[] = {1, 2, 3, 4};
    EXPECT_EQ(sumWithin(values, sparse, 2.0, 5.0), 9.0);
}

}  // namespace
