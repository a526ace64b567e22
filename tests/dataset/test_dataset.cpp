#include <gtest/gtest.h>

#include "dataset/dataset.h"

using qrn::Bounds;
using qrn::Dataset;

namespace {

Dataset tableOf(std::initializer_list<std::array<std::int32_t, 3>> entries) {
    Dataset d;
    d.NodeTbl.create({Bounds{0, 2}, Bounds{0, 0}});
    d.NodeTblMax = -1;
    for (const auto& e : entries) {
        if (d.NodeTblMax == -1) {
            d.NodeTblMax = 0;
            d.NodeTbl(0, 0) = e[0];
            d.NodeTbl(1, 0) = e[1];
            d.NodeTbl(2, 0) = e[2];
        } else {
            d.appendNode(e[0], e[1], e[2]);
        }
    }
    return d;
}

}  // namespace

TEST(Dataset, NodeCHKFirstEntryWinsAndUnknownKeepsLinNo) {
    const Dataset d = tableOf({{1, 0, 0}, {2, 0, 1}, {3, 0, 2}, {2, 1, 0}, {9, 2, 0}});
    struct C {
        std::int32_t number, linIn, linOut, kukan;
    };
    const C cases[] = {
        {1, 5, 0, 0},    {2, 5, 0, 1},                 // twice in the table: the earlier entry
        {3, 5, 0, 2},    {9, 5, 2, 0}, {4, 5, 5, -1},  // unknown: LinNo untouched
        {0, -3, -3, -1},
    };
    for (const auto& c : cases) {
        std::int32_t lin = c.linIn, kukan = 99;
        d.NodeCHK(c.number, lin, kukan);
        EXPECT_EQ(lin, c.linOut) << c.number;
        EXPECT_EQ(kukan, c.kukan) << c.number;
    }
}

TEST(Dataset, NodeNoOfReturnsEmptyForUnheldPosition) {
    const Dataset d = tableOf({{0, 0, 0}, {7, 1, 3}, {8, 1, 3}});
    EXPECT_EQ(d.NodeNoOf(0, 0), std::optional<std::int32_t>(0));  // 0 is a value, not "none"
    EXPECT_EQ(d.NodeNoOf(1, 3), std::optional<std::int32_t>(7));
    EXPECT_EQ(d.NodeNoOf(1, 4), std::nullopt);
    EXPECT_EQ(d.NodeNoOf(2, 0), std::nullopt);
}

TEST(Dataset, LookupsSeeEntriesAppendedAfterEarlierLookups) {
    Dataset d = tableOf({{10, 0, 0}});
    std::int32_t lin = 0, k = 0;
    d.NodeCHK(11, lin, k);
    EXPECT_EQ(k, -1);
    d.appendNode(11, 1, 4);
    d.NodeCHK(11, lin, k);
    EXPECT_EQ(lin, 1);
    EXPECT_EQ(k, 4);
    d.trimNodeTable();
    EXPECT_EQ(d.NodeTbl.hi(1), 1);
    d.NodeCHK(10, lin, k);
    EXPECT_EQ(k, 0);
}

TEST(Dataset, LookupsFollowAReplacedTable) {
    Dataset d = tableOf({{10, 0, 0}, {11, 0, 1}});
    std::int32_t lin = 0, k = 0;
    d.NodeCHK(11, lin, k);
    ASSERT_EQ(k, 1);
    d.NodeTbl(0, 1) = 12;  // edited in place, as a loader does
    d.invalidateNodeIndex();
    d.NodeCHK(11, lin, k);
    EXPECT_EQ(k, -1);
    d.NodeCHK(12, lin, k);
    EXPECT_EQ(k, 1);
}

TEST(Dataset, DataResetClearsListedFieldsOnly) {
    Dataset d = tableOf({{1, 0, 0}, {2, 0, 1}});
    d.StepMax = 5;
    d.HeadSpare = 3;
    d.CableMax = 2;
    d.FirstNode = 4;
    d.LastNode = 9;
    d.BeamElemMax = 1;
    d.BeamNodeMax = 1;
    d.TensionMax = 3;
    d.BeamRecCount = 2;
    d.NodeMax = 8;
    d.StepCount = 100;
    d.DirPath = QStringLiteral("/work/");
    d.NodeDisp.create({Bounds{0, 1}, Bounds{-1, 2}, Bounds{0, 1}, Bounds{0, 1}});
    d.TensionElem.create({Bounds{0, 3}});
    d.BeamHist.create({Bounds{0, 1}, Bounds{0, 1}});
    d.DataReset();
    EXPECT_EQ(d.StepMax, 0);
    EXPECT_EQ(d.HeadSpare, 0);
    EXPECT_EQ(d.CableMax, 0);
    EXPECT_EQ(d.NodeTblMax, 0);
    EXPECT_EQ(d.FirstNode, 0);
    EXPECT_EQ(d.LastNode, 0);
    EXPECT_EQ(d.BeamElemMax, 0);
    EXPECT_EQ(d.BeamNodeMax, 0);
    EXPECT_TRUE(d.NodeTbl.empty());
    EXPECT_TRUE(d.NodeDisp.empty());
    // kept
    EXPECT_EQ(d.TensionMax, 3);
    EXPECT_EQ(d.BeamRecCount, 2);
    EXPECT_EQ(d.NodeMax, 8);
    EXPECT_EQ(d.StepCount, 100);
    EXPECT_EQ(d.DirPath, QStringLiteral("/work/"));
    EXPECT_EQ(d.TensionElem.size(), 4u);
    EXPECT_EQ(d.BeamHist.size(), 4u);
    std::int32_t lin = 0, k = 0;
    d.NodeCHK(1, lin, k);
    EXPECT_EQ(k, -1);
}
