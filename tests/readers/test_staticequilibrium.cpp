#include <gtest/gtest.h>

#include "dataset/error.h"
#include "readers/settingsreader.h"
#include "readers/staticequilibrium.h"
#include "readertest.h"

using qrn::Dataset;
using rt::elem;
using rt::lines;
using rt::node;

namespace {

// Cable 11-12-13 in centimetres: node 12 is slot 0, index 1, at (1, 2, 3) m.
struct Model {
    rt::Folder dir;
    Dataset d;
    qrn::UnitFactors f;
    Model() {
        const QString st = dir.write(
            "st.dat", lines({"*UNIT", rt::units("KG", "CM"), "*ELEMENT  CABLE", elem(1, 11, 12),
                             elem(2, 12, 13), "*NODE", node(11, "0", "0", "0"),
                             node(12, "100", "200", "300"), node(13, "400", "0", "0")}));
        d.DataReset();
        f = qrn::ReadTopology(d, st);
        qrn::AllocSettingsOnly(d);
        qrn::ReadCoordinates(d, st, f.length);
    }
    void apply(const std::string& bytes, bool binary) {
        qrn::ApplyStaticEquilibrium(d, dir.write(binary ? "self.f08" : "sec.file", bytes), f.length,
                                    binary);
    }
};

std::string nodeLine(int number) { return " " + rt::right(std::to_string(number), 9); }

}  // namespace

TEST(StaticEquilibriumText, MovesNodesAndSetsTorsion) {
    Model m;
    m.apply(
        lines({"TIME SECTION", "   0", nodeLine(12), rt::values({"0.1", "0.0", "-0.2", "0.003"})}),
        false);
    EXPECT_FLOAT_EQ(m.d.NodePos(0, 0, 1), 1.001f);
    EXPECT_FLOAT_EQ(m.d.NodePos(0, 1, 1), 2.0f);
    EXPECT_FLOAT_EQ(m.d.NodePos(0, 2, 1), 2.998f);
    EXPECT_FLOAT_EQ(m.d.NodeTwist0(0, 1), 3.0f);
    EXPECT_FLOAT_EQ(m.d.NodePos(0, 0, 2), 4.0f);
}

TEST(StaticEquilibriumText, PairsEndAtNodeZeroAndSkipUnknownNodes) {
    Model m;
    m.apply(lines({nodeLine(99), rt::values({"5", "5", "5", "5"}),    // unknown: skipped
                   nodeLine(13), rt::values({"100", "0", "0", "1"}),  //
                   nodeLine(0), rt::values({"9", "9", "9", "9"}),     // ends the list
                   nodeLine(11), rt::values({"9", "9", "9", "9"})}),
            false);
    EXPECT_FLOAT_EQ(m.d.NodePos(0, 0, 2), 5.0f);
    EXPECT_FLOAT_EQ(m.d.NodeTwist0(0, 2), 1000.0f);
    EXPECT_FLOAT_EQ(m.d.NodePos(0, 0, 0), 0.0f);
    EXPECT_FLOAT_EQ(m.d.NodeTwist0(0, 0), 0.0f);
}

TEST(StaticEquilibriumText, NothingAppliesWithoutANodeLine) {
    Model m;
    const Dataset before = m.d;
    m.apply(lines({"TITLE", "   0.0", ""}), false);
    m.apply("", false);
    m.apply(lines({nodeLine(12)}), false);  // node line without its value line
    EXPECT_TRUE(rt::sameDataset(m.d, before));
}

TEST(StaticEquilibriumBinary, AddsCoordinatesAndReplacesTorsion) {
    Model m;
    const std::vector<std::pair<std::int32_t, std::int32_t>> entries{{12, 4}, {12, 1}, {99, 1},
                                                                     {13, 7}, {13, 3}, {12, 4}};
    const std::vector<double> values{0.5, 25, 7, 7, -50, 0.25};
    rt::Bytes b;
    b.i32(272, static_cast<std::int32_t>(entries.size()));
    const std::int32_t listLength = 8 * static_cast<std::int32_t>(entries.size());
    b.i32(316, listLength);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        b.i32(320 + 8 * i, entries[i].first);
        b.i32(324 + 8 * i, entries[i].second);
        b.f64(static_cast<std::size_t>(listLength) + 328 + 8 * i, values[i]);
    }
    m.apply(b.str(), true);
    EXPECT_FLOAT_EQ(m.d.NodeTwist0(0, 1), 250.0f);  // the later type-4 entry replaces
    EXPECT_FLOAT_EQ(m.d.NodePos(0, 0, 1), 1.25f);
    EXPECT_FLOAT_EQ(m.d.NodePos(0, 2, 2), -0.5f);
    EXPECT_FLOAT_EQ(m.d.NodePos(0, 0, 2), 4.0f);
    EXPECT_FLOAT_EQ(m.d.NodeTwist0(0, 2), 0.0f);
}

TEST(StaticEquilibriumBinary, DamagedFilesEndWithAMessage) {
    struct C {
        const char* name;
        std::int32_t count, listLength;
        std::size_t size;
    };
    const C cases[] = {
        {"shorter than the count", 1, 8, 200},           {"negative count", -1, 8, 400},
        {"entry list past the end", 100, 8, 400},        {"values past the end", 2, 8, 350},
        {"value offset before the file", 1, -1000, 400},
    };
    for (const auto& c : cases) {
        Model m;
        const Dataset before = m.d;
        rt::Bytes b(c.size);
        if (c.size >= 320) {
            b.i32(272, c.count);
            b.i32(316, c.listLength);
        }
        b.resize(c.size);
        try {
            m.apply(b.str(), true);
            ADD_FAILURE() << c.name;
        } catch (const qrn::QrnError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("self.f08"))) << c.name;
        }
        EXPECT_TRUE(rt::sameDataset(m.d, before)) << c.name;
    }
}
