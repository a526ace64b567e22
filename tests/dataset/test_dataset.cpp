#include <gtest/gtest.h>

#include <cstring>

#include "dataset/dataset.h"
#include "dataset/schema.h"

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

// A dataset whose every count is set and whose every array has the bounds its
// counts give, holding nonzero bytes.
Dataset everyField() {
    Dataset d = tableOf({{1, 0, 0}, {2, 0, 1}});
    std::int32_t value = 1;
    for (const auto& f : qrn::schema::fields())
        if (f.role == qrn::schema::Role::Count && f.count != &Dataset::NodeTblMax)
            d.*f.count = value++;  // BeamRecCount 12, every array at least one entry
    for (const auto& f : qrn::schema::fields()) {
        // The node table keeps its two entries for the lookups.
        if (f.role != qrn::schema::Role::Array || std::strcmp(f.name, "NodeTbl") == 0) continue;
        f.ops->create(d, qrn::schema::boundsOf(f, d).data());
        std::memset(f.ops->data(d), 0x11, f.ops->size(d) * f.ops->elementBytes);
    }
    d.DirPath = QStringLiteral("/work/");
    return d;
}

TEST(Dataset, DataResetClearsWhatTheSchemaMarks) {
    const Dataset before = everyField();
    Dataset d = before;
    std::int32_t lin = 0, k = 0;
    d.NodeCHK(1, lin, k);
    ASSERT_EQ(k, 0);
    d.DataReset();
    for (const auto& f : qrn::schema::fields()) {
        if (f.role == qrn::schema::Role::Count) {
            EXPECT_EQ(d.*f.count, f.reset ? 0 : before.*f.count) << f.name;
        } else if (f.role == qrn::schema::Role::Array) {
            EXPECT_EQ(f.ops->size(d) == 0, f.reset) << f.name;
            EXPECT_TRUE(f.reset || f.ops->equal(d, before)) << f.name;
        }
    }
    EXPECT_EQ(d.DirPath, before.DirPath);
    d.NodeCHK(1, lin, k);  // the lookups follow the emptied table
    EXPECT_EQ(k, -1);
}

TEST(Dataset, SameContentSeesEveryFieldOfTheSchema) {
    const Dataset base = everyField();
    EXPECT_TRUE(base.sameContent(base));
    for (const auto& f : qrn::schema::fields()) {
        Dataset other = base;
        if (f.role == qrn::schema::Role::Count) {
            other.*f.count += 1;
        } else if (f.role == qrn::schema::Role::Array) {
            static_cast<unsigned char*>(f.ops->data(other))[0] ^= 1;
        } else {
            continue;
        }
        EXPECT_FALSE(base.sameContent(other)) << f.name;
    }
    Dataset other = base;
    other.DirPath = QStringLiteral("/elsewhere/");
    EXPECT_FALSE(base.sameContent(other));
}
