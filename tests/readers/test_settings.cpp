#include <gtest/gtest.h>

#include <array>
#include <random>

#include "dataset/error.h"
#include "readers/settingsreader.h"
#include "readertest.h"

using qrn::Dataset;
using rt::elem;
using rt::lines;
using rt::operator+;

namespace {

using Entry = std::array<std::int32_t, 3>;

std::vector<Entry> table(const Dataset& d) {
    std::vector<Entry> out;
    for (std::int32_t e = 0; e <= d.NodeTblMax; ++e)
        out.push_back({d.NodeTbl(0, e), d.NodeTbl(1, e), d.NodeTbl(2, e)});
    return out;
}

Dataset topology(const std::string& text, qrn::UnitFactors* f = nullptr) {
    rt::Folder dir;
    Dataset d;
    d.DataReset();
    const auto got = qrn::ReadTopology(d, dir.write("st.dat", text));
    if (f) *f = got;
    return d;
}

std::string cables(const std::vector<std::string>& elems) {
    return lines(std::vector<std::string>{"*ELEMENT  CABLE"} + elems +
                 std::vector<std::string>{"*END"});
}

}  // namespace

TEST(ReadTopology, ChainsCableElementsIntoSlots) {
    struct C {
        const char* name;
        std::vector<std::string> elems;
        std::int32_t cableMax;
        std::vector<Entry> entries;
        std::vector<std::array<std::int32_t, 2>> cableInfo;  // far end, count
    };
    const C cases[] = {
        {"head to tail",
         {elem(1, 1, 2), elem(2, 2, 3), elem(3, 3, 4)},
         0,
         {{1, 0, 0}, {2, 0, 1}, {3, 0, 2}, {4, 0, 3}},
         {{4, 3}}},
        {"second cable",
         {elem(1, 1, 2), elem(2, 2, 3), elem(3, 5, 6)},
         1,
         {{1, 0, 0}, {2, 0, 1}, {3, 0, 2}, {5, 1, 0}, {6, 1, 1}},
         {{3, 2}, {6, 1}}},
        {"reversed element",
         {elem(1, 1, 2), elem(2, 3, 2)},
         1,
         {{1, 0, 0}, {2, 0, 1}, {3, 1, 0}, {2, 1, 1}},
         {{2, 1}, {2, 1}}},
        {"inner start",
         {elem(1, 1, 2), elem(2, 2, 3), elem(3, 2, 7)},
         1,
         {{1, 0, 0}, {2, 0, 1}, {3, 0, 2}, {2, 1, 0}, {7, 1, 1}},
         {{3, 2}, {7, 1}}},
        // Two slots end at node 2: the lower slot takes the next element.
        {"lowest matching slot",
         {elem(1, 1, 2), elem(2, 3, 2), elem(3, 2, 9)},
         1,
         {{1, 0, 0}, {2, 0, 1}, {3, 1, 0}, {2, 1, 1}, {9, 0, 2}},
         {{9, 2}, {2, 1}}},
        {"comment with a number is skipped",
         {elem(1, 1, 2), "#" + elem(7, 2, 5).substr(1), "", elem(2, 2, 3)},
         0,
         {{1, 0, 0}, {2, 0, 1}, {3, 0, 2}},
         {{3, 2}}},
        {"element number 0 is no element",
         {elem(1, 1, 2), elem(0, 2, 5)},
         0,
         {{1, 0, 0}, {2, 0, 1}},
         {{2, 1}}},
    };
    for (const auto& c : cases) {
        const Dataset d = topology(cables(c.elems));
        EXPECT_EQ(d.CableMax, c.cableMax) << c.name;
        EXPECT_EQ(table(d), c.entries) << c.name;
        ASSERT_EQ(d.CableInfo.hi(1), c.cableMax) << c.name;
        for (std::int32_t s = 0; s <= c.cableMax; ++s) {
            EXPECT_EQ(d.CableInfo(0, s), c.cableInfo[static_cast<std::size_t>(s)][0]) << c.name;
            EXPECT_EQ(d.CableInfo(1, s), c.cableInfo[static_cast<std::size_t>(s)][1]) << c.name;
        }
        EXPECT_EQ(d.NodeTbl.hi(1), d.NodeTblMax) << c.name;  // exact bounds
        EXPECT_EQ(d.BeamElemMax, -1) << c.name;
        EXPECT_EQ(d.BeamNodeMax, 0) << c.name;
        EXPECT_EQ(d.TensionMax, -1) << c.name;
        EXPECT_EQ(d.TensionElem.hi(0), 0) << c.name;
        EXPECT_EQ(d.TensionElem(0), 0) << c.name;
    }
}

TEST(ReadTopology, WithoutCablesKeepsOneEmptySlot) {
    for (const std::string& text :
         {std::string(), lines({"*UNIT", "KG        M", "*NODE", rt::node(1, "0", "0", "0")}),
          lines({"*ELEMENT  CABLE", "*END"})}) {
        const Dataset d = topology(text);
        EXPECT_EQ(d.CableMax, 0);
        EXPECT_EQ(d.CableInfo(0, 0), 0);
        EXPECT_EQ(d.CableInfo(1, 0), 0);
        EXPECT_EQ(table(d), (std::vector<Entry>{{0, 0, 0}}));
        EXPECT_EQ(d.NodeMax, 0);
    }
}

TEST(ReadTopology, BeamsFindOrAppendTheirNodes) {
    const std::string text =
        lines({"*ELEMENT  CABLE", elem(1, 1, 2), elem(2, 2, 3), elem(3, 3, 4), "*ELEMENT  BEAM",
               elem(1, 3, 9), elem(2, 9, 10), elem(3, 10, 1), "*NODE"});
    const Dataset d = topology(text);
    EXPECT_EQ(d.CableMax, 0);
    EXPECT_EQ(d.BeamElemMax, 2);
    EXPECT_EQ(d.BeamNodeMax, 1);
    EXPECT_EQ(d.NodeMax, 3);
    const std::int32_t expected[3][4] = {{0, 2, 1, 0}, {1, 0, 1, 1}, {1, 1, 0, 0}};
    for (int b = 0; b < 3; ++b) {
        EXPECT_EQ(d.BeamElem(0, 0, b), expected[b][0]) << b;
        EXPECT_EQ(d.BeamElem(0, 1, b), expected[b][1]) << b;
        EXPECT_EQ(d.BeamElem(1, 0, b), expected[b][2]) << b;
        EXPECT_EQ(d.BeamElem(1, 1, b), expected[b][3]) << b;
    }
    EXPECT_EQ(table(d), (std::vector<Entry>{
                            {1, 0, 0}, {2, 0, 1}, {3, 0, 2}, {4, 0, 3}, {9, 1, 0}, {10, 1, 1}}));
}

TEST(ReadTopology, BeamSectionPlacement) {
    struct C {
        const char* name;
        std::vector<std::string> lines;
        std::int32_t beamElemMax, beamNodeMax;
    };
    const C cases[] = {
        {"before the cables: found from the top",
         {"*ELEMENT  BEAM", elem(1, 5, 6), "*ELEMENT  CABLE", elem(1, 1, 2)},
         0,
         1},
        {"after a foreign keyword: found from the top",
         {"*ELEMENT  CABLE", elem(1, 1, 2), "*MASS", "*ELEMENT  BEAM", elem(1, 2, 7)},
         0,
         0},
        {"no beam section", {"*ELEMENT  CABLE", elem(1, 1, 2)}, -1, 0},
        {"empty beam section",
         {"*ELEMENT  CABLE", elem(1, 1, 2), "*ELEMENT  BEAM", "*END"},
         -1,
         -1},
    };
    for (const auto& c : cases) {
        const Dataset d = topology(lines(c.lines));
        EXPECT_EQ(d.BeamElemMax, c.beamElemMax) << c.name;
        EXPECT_EQ(d.BeamNodeMax, c.beamNodeMax) << c.name;
        EXPECT_EQ(d.NodeMax, std::max(1, c.beamNodeMax)) << c.name;
    }
}

TEST(ReadTopology, UnitLine) {
    struct C {
        std::vector<std::string> lines;
        double force, length;
    };
    const C cases[] = {
        {{"*UNIT", rt::units("T", "CM"), "*ELEMENT  CABLE"}, 1000.0, 0.01},
        {{"*UNIT", rt::units("KG", "M"), "*ELEMENT  CABLE"}, 1.0, 1.0},
        {{"*UNIT", rt::units("TON", "MM"), "*ELEMENT  CABLE"}, 1000.0, 1.0},
        {{"*UNIT", rt::units("N", "CM"), "*ELEMENT  CABLE"}, 1.0, 0.01},
        {{"*UNIT", " T         CM"}, 1.0, 1.0},  // shifted by one column
        {{"*ELEMENT  CABLE", elem(1, 1, 2), "*UNIT", rt::units("T", "CM")}, 1.0, 1.0},
        {{"*UNIT"}, 1.0, 1.0},
    };
    for (const auto& c : cases) {
        qrn::UnitFactors f;
        topology(lines(c.lines), &f);
        EXPECT_EQ(f.force, c.force) << c.lines[1 % c.lines.size()];
        EXPECT_EQ(f.length, c.length) << c.lines[1 % c.lines.size()];
    }
}

TEST(ReadTopology, LineEndsCrLfCrAndLfOnlyGiveTheSameModel) {
    const std::vector<std::string> ls{"*UNIT",       rt::units("T", "CM"), "*ELEMENT  CABLE",
                                      elem(1, 1, 2), elem(2, 2, 3),        "*ELEMENT  BEAM",
                                      elem(1, 2, 8)};
    const Dataset crlf = topology(lines(ls, "\r\n"));
    for (const char* eol : {"\r", "\n"}) {
        qrn::UnitFactors f;
        const Dataset d = topology(lines(ls, eol), &f);
        EXPECT_EQ(f.force, 1000.0);
        EXPECT_EQ(f.length, 0.01);
        EXPECT_TRUE(rt::sameDataset(d, crlf)) << "eol " << int(eol[0]);
    }
    EXPECT_EQ(crlf.NodeTblMax, 3);
}

TEST(ReadTopology, ModelBeyondSixteenBits) {
    std::vector<std::string> ls{"*ELEMENT  CABLE"};
    const int elements = 40000;
    for (int e = 1; e <= elements; ++e) ls.push_back(elem(e, e, e + 1));
    ls.push_back("*ELEMENT  BEAM");
    ls.push_back(elem(1, elements + 1, 100000));
    const Dataset d = topology(lines(ls));
    EXPECT_EQ(d.CableInfo(1, 0), elements);
    EXPECT_EQ(d.NodeMax, elements);
    EXPECT_EQ(d.NodeTblMax, elements + 1);
    EXPECT_EQ(d.BeamElem(0, 1, 0), elements);
    std::int32_t lin = 0, kukan = 0;
    d.NodeCHK(35000, lin, kukan);
    EXPECT_EQ(kukan, 34999);
    d.NodeCHK(100000, lin, kukan);
    EXPECT_EQ(lin, 1);
    EXPECT_EQ(kukan, 0);
}

TEST(ReadTopology, MissingFileNamesIt) {
    rt::Folder dir;
    Dataset d;
    try {
        qrn::ReadTopology(d, dir.path("gone.dat"));
        FAIL() << "no error";
    } catch (const qrn::QrnError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("gone.dat")));
        EXPECT_EQ(e.title(), QStringLiteral("ファイル読み込みエラー"));
    }
}

TEST(ReadCoordinates, FillsFirstEntryOfEachKnownNode) {
    const std::string text = lines(
        {"*UNIT", rt::units("KG", "CM"), "*ELEMENT  CABLE", elem(1, 1, 2), elem(2, 3, 2),
         "*ELEMENT  BEAM", elem(1, 2, 9), "*NODE", "# comment", rt::node(1, "100", "250", "-50"),
         rt::node(2, "200", "0", "12.5"), rt::node(3, "1E3", "0", "0"), rt::node(9, "0", "7", "0"),
         rt::node(77, "5", "5", "5"), "*END", rt::node(9, "1", "1", "1")});
    rt::Folder dir;
    const QString path = dir.write("st.dat", text);
    Dataset d;
    d.DataReset();
    const auto f = qrn::ReadTopology(d, path);
    qrn::AllocSettingsOnly(d);
    qrn::ReadCoordinates(d, path, f.length);
    // Node 2 stands at (0,1) and (1,1): only the first entry gets coordinates.
    EXPECT_FLOAT_EQ(d.NodePos(0, 0, 0), 1.0f);
    EXPECT_FLOAT_EQ(d.NodePos(0, 1, 0), 2.5f);
    EXPECT_FLOAT_EQ(d.NodePos(0, 2, 0), -0.5f);
    EXPECT_FLOAT_EQ(d.NodePos(0, 0, 1), 2.0f);
    EXPECT_FLOAT_EQ(d.NodePos(0, 2, 1), 0.125f);
    EXPECT_FLOAT_EQ(d.NodePos(1, 0, 0), 10.0f);
    EXPECT_FLOAT_EQ(d.NodePos(1, 0, 1), 0.0f);
    EXPECT_FLOAT_EQ(d.NodePos(2, 1, 0), 0.07f);  // beam node, not the line after "*END"
    // Settings-only histories: one frame.
    EXPECT_EQ(d.StepCount, 0);
    EXPECT_EQ(d.TensionMax, -1);
    EXPECT_EQ(d.NodeDisp.hi(3), 1);
    EXPECT_EQ(d.TensionHist.hi(0), 1);
    EXPECT_EQ(d.TensionHist.hi(1), 0);
}

TEST(ReadCoordinates, WithoutNodeSectionEverythingStaysZero) {
    rt::Folder dir;
    const QString path =
        dir.write("st.dat", lines({"*ELEMENT  CABLE", elem(1, 1, 2), rt::node(1, "5", "5", "5")}));
    Dataset d;
    d.DataReset();
    qrn::ReadTopology(d, path);
    qrn::AllocSettingsOnly(d);
    qrn::ReadCoordinates(d, path, 1.0);
    for (std::size_t i = 0; i < d.NodePos.size(); ++i) EXPECT_EQ(d.NodePos.data()[i], 0.0f);
}

TEST(ReadTopology, MalformedFilesKeepEveryEntryInsideTheArrays) {
    std::mt19937 rng(11);
    const std::vector<std::string> heads{
        "*UNIT", "*ELEMENT  CABLE", "*ELEMENT  BEAM", "*NODE", "*END", "#", ""};
    const std::vector<std::string> nums{"1",          "2",    "3", "4", "0",  "-3",
                                        "2147483647", "9E15", "",  "x", "2.5"};
    for (int i = 0; i < 300; ++i) {
        std::vector<std::string> ls;
        for (auto l = rng() % 30; l > 0; --l) {
            if (rng() % 5 == 0) {
                ls.push_back(heads[rng() % heads.size()]);
            } else {
                std::string line = rt::right(nums[rng() % nums.size()], 10);
                rt::put(line, 11, rt::right(nums[rng() % nums.size()], 10));
                rt::put(line, 31, rt::right(nums[rng() % nums.size()], 10));
                rt::put(line, 41, rt::right(nums[rng() % nums.size()], 10));
                line.resize(rng() % (line.size() + 1));
                ls.push_back(line);
            }
        }
        rt::Folder dir;
        const QString path = dir.write("st.dat", lines(ls, rng() % 2 ? "\r\n" : "\n"));
        Dataset d;
        d.DataReset();
        const auto f = qrn::ReadTopology(d, path);
        ASSERT_EQ(d.NodeTbl.hi(1), d.NodeTblMax) << i;
        ASSERT_EQ(d.CableInfo.hi(1), d.CableMax) << i;
        for (std::int32_t e = 0; e <= d.NodeTblMax; ++e) {
            ASSERT_TRUE(d.NodeTbl(1, e) >= 0 && d.NodeTbl(1, e) <= d.CableMax + 1) << i;
            ASSERT_TRUE(d.NodeTbl(2, e) >= 0 && d.NodeTbl(2, e) <= d.NodeMax) << i;
        }
        if (d.BeamElemMax >= 0) {
            ASSERT_EQ(d.BeamElem.hi(2), d.BeamElemMax) << i;
            for (std::int32_t b = 0; b <= d.BeamElemMax; ++b)
                for (int end = 0; end < 2; ++end) {
                    ASSERT_LE(d.BeamElem(end, 0, b), d.CableMax + 1) << i;
                    ASSERT_LE(d.BeamElem(end, 1, b), d.NodeMax) << i;
                }
        }
        qrn::AllocSettingsOnly(d);
        qrn::ReadCoordinates(d, path, f.length);
    }
}
