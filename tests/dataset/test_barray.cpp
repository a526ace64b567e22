#include <gtest/gtest.h>

#include <cstdint>

#include "dataset/barray.h"

using qrn::BArray;
using qrn::Bounds;

TEST(BArray, FirstIndexFastestWithLowerBounds) {
    // [0..1, -1..2, 0..2]: element (a, k, n) at a + 2*(k+1) + 8*n
    BArray<std::int32_t, 3> a({Bounds{0, 1}, Bounds{-1, 2}, Bounds{0, 2}});
    EXPECT_EQ(a.size(), 24u);
    EXPECT_EQ(a.bytes(), 96u);
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a.data()[i], 0);
    a(1, -1, 0) = 7;
    a(0, 2, 1) = 9;
    a(1, 2, 2) = 11;
    EXPECT_EQ(a.data()[1], 7);
    EXPECT_EQ(a.data()[0 + 2 * 3 + 8 * 1], 9);
    EXPECT_EQ(a.data()[23], 11);
    EXPECT_TRUE(a.contains(0, -1, 0));
    EXPECT_FALSE(a.contains(0, -2, 0));
    EXPECT_FALSE(a.contains(2, 0, 0));
}

TEST(BArray, ResizeKeepPreservesOverlapInEveryDimension) {
    BArray<std::int16_t, 2> a({Bounds{0, 2}, Bounds{0, 1}});
    for (int t = 0; t <= 2; ++t)
        for (int c = 0; c <= 1; ++c) a(t, c) = static_cast<std::int16_t>(10 * t + c);
    a.resizeKeep({Bounds{0, 3}, Bounds{0, 2}});  // grow both
    EXPECT_EQ(a(2, 1), 21);
    EXPECT_EQ(a(0, 0), 0);
    EXPECT_EQ(a(1, 0), 10);
    EXPECT_EQ(a(3, 2), 0);
    EXPECT_EQ(a(3, 0), 0);
    a.resizeKeep({Bounds{0, 1}, Bounds{0, 0}});  // shrink both
    EXPECT_EQ(a.size(), 2u);
    EXPECT_EQ(a(1, 0), 10);
}

TEST(BArray, ClearAndEmptyDimensions) {
    BArray<float, 2> a({Bounds{0, 1}, Bounds{0, -1}});
    EXPECT_TRUE(a.empty());
    a.create({Bounds{0, 0}, Bounds{0, 0}});
    EXPECT_EQ(a.size(), 1u);
    a.clear();
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(a.data(), nullptr);
}

TEST(BArray, CopyAndMoveAndEquality) {
    BArray<std::int32_t, 1> a({Bounds{0, 3}});
    a(2) = 5;
    BArray<std::int32_t, 1> b = a;
    EXPECT_TRUE(a == b);
    b(2) = 6;
    EXPECT_FALSE(a == b);
    BArray<std::int32_t, 1> c = std::move(b);
    EXPECT_TRUE(b.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty
    EXPECT_EQ(c(2), 6);
}

TEST(BArray, OverflowingBoundsThrowBadAlloc) {
    BArray<std::int32_t, 4> a;
    const Bounds huge{0, 1'000'000'000};
    EXPECT_THROW(a.create({huge, huge, huge, huge}), std::bad_alloc);
    EXPECT_TRUE(a.empty());
}
