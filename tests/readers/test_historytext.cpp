#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "dataset/error.h"
#include "dataset/numbers.h"
#include "readers/histories.h"
#include "readers/historytext.h"
#include "readers/settingsreader.h"
#include "readertest.h"

using qrn::Dataset;
using rt::elem;
using rt::lines;
using rt::operator+;
using rt::record;
using Lines = std::vector<std::string>;

namespace {

constexpr auto kNoLimit = std::numeric_limits<std::uint64_t>::max();

// Cable 1-2-3-4-5 (slot 0), cable 11-12 (slot 1), beam 3-20 (node 20: slot 2, index 0).
std::string settings(const std::string& force = "KG", const std::string& length = "M") {
    return lines({"*UNIT", rt::units(force, length), "*ELEMENT  CABLE", elem(1, 1, 2),
                  elem(2, 2, 3), elem(3, 3, 4), elem(4, 4, 5), elem(5, 11, 12), "*ELEMENT  BEAM",
                  elem(1, 3, 20)});
}

struct Read {
    Dataset d;
    int n = 1;
};

Read readHistory(const std::string& settingsText, const std::string& his,
                 qrn::HistoryReadOptions options = {}) {
    rt::Folder dir;
    Read r;
    r.d.DataReset();
    const auto f = qrn::ReadTopology(r.d, dir.write("st.dat", settingsText));
    qrn::ReadHistoryText(r.d, dir.write("run1.his", his), f, r.n, options);
    return r;
}

std::vector<std::int32_t> dispSeries(const Dataset& d, int slot, int k, int index) {
    std::vector<std::int32_t> out;
    for (std::int64_t t = 0; t <= d.NodeDisp.hi(3); ++t)
        out.push_back(d.NodeDisp(slot, k, index, t));
    return out;
}

std::vector<std::int16_t> tensionSeries(const Dataset& d, int column) {
    std::vector<std::int16_t> out;
    for (std::int64_t t = 0; t <= d.TensionHist.hi(0); ++t) out.push_back(d.TensionHist(t, column));
    return out;
}

using V32 = std::vector<std::int32_t>;
using V16 = std::vector<std::int16_t>;

}  // namespace

TEST(ReadHistoryText, DisplacementValuesAndUnits) {
    struct C {
        const char* length;
        int digit;
        const char* field;
        std::int32_t stored;
    };
    const C cases[] = {
        {"M", 1, "1.5", 1500},     {"M", 2, "-0.0625", -62},  // -62.5: tie to even
        {"M", 3, "0.1875", 188},   {"M", 4, "0.25", 250},
        {"CM", 1, "1.5", 15},      {"CM", 3, "12.345", 123},
        {"CM", 4, "0.25", 250},  // torsion ignores the length unit
        {"M", 1, "", 0},           {"M", 1, "abc", 0},
        {"M", 1, " 1 2", 12000},   {"M", 1, "-1.25E-01", -125},
        {"M", 1, "1.0D+00", 1000}, {"M", 1, "3E9", 0},  // too large
    };
    for (const auto& c : cases) {
        const auto r = readHistory(settings("KG", c.length),
                                   lines(record("DISP", c.digit, 3, 2, {c.field, "1E-3"})));
        // Node 3 is slot 0, index 2; component digit - 2.
        EXPECT_EQ(r.d.NodeDisp(0, c.digit - 2, 2, 0), c.stored) << c.length << " " << c.field;
        EXPECT_EQ(r.d.NodeDisp(0, c.digit - 2, 2, 1), c.length[0] == 'C' && c.digit < 4 ? 0 : 1)
            << c.field;
    }
}

TEST(ReadHistoryText, OneRecordSetsStepCountAndStepMax) {
    const auto r = readHistory(settings("KG", "CM"),
                               lines(record("DISP", 3, 3, 5, {"1.5", "2.5", "-4", "100", "0.31"})));
    EXPECT_EQ(r.n, 1);
    EXPECT_EQ(r.d.StepCount, 5);
    EXPECT_EQ(r.d.StepMax, 4);
    EXPECT_EQ(r.d.NodeDisp.hi(3), 6);
    EXPECT_EQ(dispSeries(r.d, 0, 1, 2), (V32{15, 25, -40, 1000, 3, 0, 0}));
    EXPECT_EQ(r.d.TensionMax, -1);
    EXPECT_EQ(r.d.TensionHist.bounds()[0].hi, 6);
    EXPECT_EQ(r.d.TensionHist.bounds()[1].hi, 0);
    EXPECT_EQ(r.d.NodePos.hi(0), 2);  // allocated, zero
    EXPECT_EQ(r.d.NodeTwist0.hi(1), 4);
}

TEST(ReadHistoryText, TensionRecords) {
    const std::string his =
        lines(record("DISP", 1, 1, 6, {"0", "0", "0", "0", "0", "0"}) +
              record("CABL", 1, 101, 6, {"40000", "123", "32767", "-32768", "32768", "-32769"}) +
              record("CABL", 2, 102, 6, {"1", "2", "3", "4", "5", "6", "7", "8"}) +
              record("CABL", 1, 103, 6, {"0.5", "-1.5"}));
    const auto r = readHistory(settings("KG", "M"), his);
    EXPECT_EQ(r.d.TensionMax, 2);
    EXPECT_EQ(r.d.TensionElem.hi(0), 2);
    EXPECT_EQ(r.d.TensionElem(0), 101);
    EXPECT_EQ(r.d.TensionElem(1), 102);
    EXPECT_EQ(r.d.TensionElem(2), 103);
    EXPECT_EQ(r.d.TensionHist.hi(1), 2);
    EXPECT_EQ(tensionSeries(r.d, 0), (V16{0, 123, 32767, -32768, 0, 0, 0, 0}));  // misfits skipped
    EXPECT_EQ(tensionSeries(r.d, 1), (V16{0, 0, 0, 0, 0, 0, 0, 0}));   // digit 2: not kept
    EXPECT_EQ(tensionSeries(r.d, 2), (V16{0, -2, 0, 0, 0, 0, 0, 0}));  // 0.5 and -1.5: ties to even
    EXPECT_EQ(r.d.StepMax, 5);  // the 8 values of the digit-2 record do not count

    const auto tons =
        readHistory(settings("T", "CM"), lines(record("CABL", 1, 7, 2, {"1.5", "40"})));
    EXPECT_EQ(tensionSeries(tons.d, 0), (V16{1500, 0, 0, 0}));  // 40 t = 40000 kgf does not fit
}

TEST(ReadHistoryText, TensionPlaceholderWhenNoCableRecord) {
    auto r = readHistory(settings(), lines(record("DISP", 1, 1, 4, {"1", "2", "3", "4"})));
    EXPECT_EQ(r.d.TensionMax, -1);
    qrn::AddTensionPlaceholder(r.d, r.n);
    EXPECT_EQ(r.d.TensionMax, 0);
    EXPECT_EQ(r.d.TensionElem(0), 0);
    EXPECT_EQ(tensionSeries(r.d, 0), (V16{0, 0, 0, 100, 0, 0}));
    qrn::AddTensionPlaceholder(r.d, r.n);  // only once
    EXPECT_EQ(tensionSeries(r.d, 0), (V16{0, 0, 0, 100, 0, 0}));
}

TEST(ReadHistoryText, BeamRecords) {
    const std::string his =
        lines(record("BEAM", 2, 7, 3, {"1.5", "-2", "40"}) + record("BEAM", 5, 8, 3, {"0.3"}));
    const auto r = readHistory(settings("T", "CM"), his);
    ASSERT_EQ(r.d.BeamRecCount, 2);
    EXPECT_EQ(r.d.BeamRecInfo.bounds()[1].hi, 1);
    EXPECT_EQ(r.d.BeamRecInfo(0, 0), 7);
    EXPECT_EQ(r.d.BeamRecInfo(1, 0), 2);
    EXPECT_EQ(r.d.BeamRecInfo(0, 1), 8);
    EXPECT_EQ(r.d.BeamRecInfo(1, 1), 5);
    ASSERT_EQ(r.d.BeamHist.bounds()[0].hi, 4);
    ASSERT_EQ(r.d.BeamHist.bounds()[1].hi, 1);
    EXPECT_EQ(r.d.BeamHist(0, 0), 15);  // x 1000 x 0.01
    EXPECT_EQ(r.d.BeamHist(1, 0), -20);
    EXPECT_EQ(r.d.BeamHist(2, 0), 400);
    EXPECT_EQ(r.d.BeamHist(0, 1), 3);
    EXPECT_EQ(r.d.StepMax, 2);
}

TEST(ReadHistoryText, ThinningByMemoryLimit) {
    // Model: 2 cable slots + beam slot, NodeMax 4: 3 x 4 x 5 x 4 = 240 bytes per time index.
    struct C {
        int count;
        std::uint64_t limit;
        int n;
        V32 series;
        std::int32_t stepCount, stepMax;
    };
    std::vector<std::string> vals;
    for (int j = 0; j < 12; ++j) vals.push_back(std::to_string(j));
    const C cases[] = {
        {9, 240 * 11, 1, {0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 0, 0}, 9, 8},
        {9, 240 * 11 - 1, 2, {0, 2000, 4000, 6000, 8000, 0}, 4, 4},
        {12, 240 * 4, 5, {0, 5000, 10000, 0}, 2, 2},
        {12, 240 * 3, 10, {0, 10000, 0}, 1, 1},
    };
    for (const auto& c : cases) {
        qrn::HistoryReadOptions o;
        o.memoryLimit = c.limit;
        std::vector<std::string> v(vals.begin(), vals.begin() + c.count);
        auto r = readHistory(
            settings(), lines(record("DISP", 1, 1, c.count, v) + record("CABL", 1, 9, c.count, v)),
            o);
        EXPECT_EQ(r.n, c.n) << c.limit;
        EXPECT_EQ(dispSeries(r.d, 0, -1, 0), c.series) << c.limit;
        qrn::FinishThinning(r.d, r.n);
        EXPECT_EQ(r.d.StepCount, c.stepCount) << c.limit;
        EXPECT_EQ(r.d.StepMax, c.stepMax) << c.limit;
        // The arrays span 0..StepCount + 1 after the division, as the dataset file expects.
        EXPECT_EQ(r.d.NodeDisp.hi(3), r.d.StepCount + 1) << c.limit;
        EXPECT_EQ(r.d.TensionHist.hi(0), r.d.StepCount + 1) << c.limit;
        EXPECT_EQ(r.d.TensionHist(1, 0), c.series[1] / 1000) << c.limit;
    }
}

TEST(ReadHistoryText, TooLargeEvenForOneInAHundredEndsWithAMessage) {
    qrn::HistoryReadOptions o;
    o.memoryLimit = 240 * 2 - 1;  // N = 100 needs time indices 0..1
    try {
        readHistory(settings(), lines(record("DISP", 1, 1, 99, {"1"})), o);
        FAIL() << "no error";
    } catch (const qrn::QrnError& e) {
        EXPECT_EQ(e.title(), QStringLiteral("メモリー不足"));
        EXPECT_TRUE(e.message().contains(QStringLiteral("run1.his")));
        EXPECT_TRUE(e.message().contains(QStringLiteral("1/100")));
    }
}

TEST(AllocHistories, StepsThroughTheThinningSequence) {
    Dataset d;
    d.CableMax = 0;
    d.NodeMax = 1;
    d.StepCount = 99;
    // 2 slots x 4 components x 2 nodes x 4 bytes = 64 bytes per time index; T = 99 div N + 1.
    const std::pair<std::uint64_t, int> cases[] = {
        {6464, 1}, {6463, 2}, {3264, 2}, {3263, 5},  {1344, 5},  {1343, 10},
        {704, 10}, {384, 20}, {192, 50}, {191, 100}, {128, 100},
    };
    for (const auto& [limit, n] : cases) {
        int got = 1;
        qrn::AllocHistories(d, got, limit, QStringLiteral("x.his"));
        EXPECT_EQ(got, n) << limit;
        EXPECT_EQ(d.NodeDisp.hi(3), 99 / n + 1) << limit;
        EXPECT_EQ(d.NodeDisp.hi(0), 1);
        EXPECT_EQ(d.NodeDisp.lo(1), -1);
        EXPECT_EQ(d.TensionHist.hi(0), 99 / n + 1) << limit;
        EXPECT_EQ(d.NodePos.hi(2), 1);
        EXPECT_EQ(d.NodeTwist0.hi(0), 1);
        d = Dataset{};
        d.NodeMax = 1;
        d.StepCount = 99;
    }
    int n = 1;
    EXPECT_THROW(qrn::AllocHistories(d, n, 127, QStringLiteral("x.his")), qrn::QrnError);
}

TEST(ReadHistoryText, ShortLinesAndRemainders) {
    // 30 characters: two fields and a 6-character remainder that is ignored.
    const std::string his = lines(Lines{rt::header("DISP", 1, 1), "title", "       5",
                                        rt::values({"1", "2"}) + "   3.0", rt::values({"4"}), "",
                                        rt::values({"5", "6"})});
    const auto r = readHistory(settings(), his);
    EXPECT_EQ(dispSeries(r.d, 0, -1, 0), (V32{1000, 2000, 4000, 5000, 6000, 0, 0}));
    EXPECT_EQ(r.d.StepMax, 4);
}

TEST(ReadHistoryText, CountAfterALineFeedInsideTheLineAfterTheHeader) {
    // In a CR LF file a bare LF stays inside a line: the count follows it.
    const std::string his =
        rt::header("DISP", 1, 1) + "\r\n" + "TITLE\n100\r\n" + rt::values({"7"}) + "\r\n";
    const auto r = readHistory(settings(), his);
    EXPECT_EQ(r.d.StepCount, 100);
    EXPECT_EQ(r.d.NodeDisp(0, -1, 0, 0), 7000);  // the next line is data, not the count
}

TEST(ReadHistoryText, LineEndsCrLfCrAndLfOnlyGiveTheSameDataset) {
    const Lines ls = record("DISP", 1, 1, 4, {"1", "2", "3", "4"}, 3) +
                     record("CABL", 1, 5, 4, {"10", "20", "30", "40"}, 2) +
                     record("BEAM", 1, 1, 4, {"5", "6"});
    const auto crlf = readHistory(settings(), lines(ls, "\r\n"));
    EXPECT_EQ(dispSeries(crlf.d, 0, -1, 0), (V32{1000, 2000, 3000, 4000, 0, 0}));
    for (const char* eol : {"\r", "\n"}) {
        const auto r = readHistory(settings(), lines(ls, eol));
        EXPECT_TRUE(rt::sameDataset(r.d, crlf.d)) << int(eol[0]);
    }
}

TEST(ReadHistoryText, FirstRecordWithoutCountKeepsEveryTensionColumn) {
    // The first record states 0 steps, so the histories are allocated again at the
    // next header, after a second "CABL" header has added a column.
    const std::string his =
        lines(record("CABL", 1, 11, 0, {"1", "2"}) + record("CABL", 1, 12, 3, {"7", "8", "9"}) +
              record("DISP", 1, 2, 3, {"1", "2", "3"}) + record("CABL", 1, 13, 3, {"4", "5", "6"}));
    const auto r = readHistory(settings(), his);
    EXPECT_EQ(r.d.StepCount, 3);
    EXPECT_EQ(r.d.TensionMax, 2);
    ASSERT_EQ(r.d.TensionHist.hi(1), 2);
    ASSERT_EQ(r.d.TensionHist.hi(0), 4);
    EXPECT_EQ(tensionSeries(r.d, 0), (V16{1, 2, 0, 0, 0}));  // stored while time ran 0..1
    EXPECT_EQ(tensionSeries(r.d, 1), (V16{7, 8, 9, 0, 0}));
    EXPECT_EQ(tensionSeries(r.d, 2), (V16{4, 5, 6, 0, 0}));
    EXPECT_EQ(dispSeries(r.d, 0, -1, 1), (V32{1000, 2000, 3000, 0, 0}));
}

TEST(ReadHistoryText, ValuesPastTheTimeDimensionAreNotStored) {
    std::vector<std::string> many;
    for (int j = 1; j <= 8; ++j) many.push_back(std::to_string(j));
    const auto r = readHistory(
        settings(), lines(record("DISP", 1, 1, 2, {"1", "2"}) + record("DISP", 2, 1, 2, many)));
    EXPECT_EQ(r.d.StepCount, 2);
    EXPECT_EQ(dispSeries(r.d, 0, 0, 0), (V32{1000, 2000, 3000, 4000}));
    EXPECT_EQ(r.d.StepMax, 3);  // 7 would lie past the upper time index 3
}

TEST(ReadHistoryText, RecordsWhoseValuesAreNotKept) {
    const std::string his =
        lines(Lines{rt::values({"9", "9", "9"})} +                             // before any header
              record("DISP", 1, 999, 10, std::vector<std::string>(10, "9")) +  // unknown node
              record("DISP", 7, 1, 10, std::vector<std::string>(10, "9")) +    // digit 7
              record("XXXX", 1, 1, 10, std::vector<std::string>(10, "9")) +    // unknown kind
              record("DISP", 1, 4, 10, {"1", "2", "3"}));
    const auto r = readHistory(settings(), his);
    EXPECT_EQ(r.d.StepCount, 10);  // the first header's count, kept or not
    EXPECT_EQ(r.d.StepMax, 2);
    EXPECT_EQ(dispSeries(r.d, 0, -1, 3), (V32{1000, 2000, 3000, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(r.d.NodeDisp.size()); ++i)
        if (r.d.NodeDisp.data()[i] == 9000) ADD_FAILURE() << "value of a record not kept at " << i;
}

TEST(ReadHistoryText, FileWithoutHeadersGivesOneFrame) {
    const auto r = readHistory(settings(), lines({"no history here", rt::values({"1", "2"})}));
    EXPECT_EQ(r.d.StepCount, 0);
    EXPECT_EQ(r.d.StepMax, 0);
    EXPECT_EQ(r.d.NodeDisp.hi(3), 1);
    EXPECT_EQ(r.d.TensionHist.hi(0), 1);
    EXPECT_EQ(r.d.TensionHist.hi(1), 0);
}

TEST(ReadHistoryText, ThreadsAndPartsGiveTheSameDatasetAndLaterRecordsWin) {
    // Three cables of 20 elements, every node in four components, tensions and
    // beam results, and one node recorded twice far apart.
    Lines st{"*UNIT", rt::units("T", "CM"), "*ELEMENT  CABLE"};
    int e = 1;
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 20; ++k, ++e) st.push_back(elem(e, 100 * c + k, 100 * c + k + 1));
    st.push_back("*ELEMENT  BEAM");
    st.push_back(elem(1, 5, 500));
    const int steps = 37;
    auto series = [&](int seed) {
        std::vector<std::string> v;
        for (int j = 0; j < steps; ++j)
            v.push_back(std::to_string((seed * 31 + j * 7) % 201 - 100) + "." +
                        std::to_string(j % 10) + "E-1");
        return v;
    };
    Lines his{"header of the run", "another line"};
    his = his + record("DISP", 1, 105, steps, series(999), 5);  // overwritten later
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k <= 20; ++k)
            for (int d = 1; d <= 4; ++d)
                his = his + record("DISP", d, 100 * c + k, steps, series(c * 100 + k * 4 + d),
                                   static_cast<std::size_t>(1 + (k + d) % 7));
    for (int t = 1; t <= 60; ++t) his = his + record("CABL", 1 + t % 2, t, steps, series(t), 6);
    his = his + record("BEAM", 3, 1, steps, series(5000), 4);
    his = his + record("DISP", 1, 105, steps, series(1234), 5);  // wins over the first

    const std::string text = lines(his);
    const std::string stText = lines(st);
    // 4 slots x 4 components x 21 nodes x 4 bytes = 1344 bytes per time index: the
    // limits allow 39, 20 and 9 time indices (N = 1, 2, 5).
    std::vector<int> thinning;
    for (const std::uint64_t limit :
         {kNoLimit, std::uint64_t{1344 * 39 - 1}, std::uint64_t{1344 * 20 - 1}}) {
        qrn::HistoryReadOptions base;
        base.threads = 1;
        base.memoryLimit = limit;
        const auto one = readHistory(stText, text, base);
        thinning.push_back(one.n);
        EXPECT_EQ(one.d.TensionMax, 59);
        EXPECT_EQ(one.d.BeamRecCount, 1);
        EXPECT_EQ(one.d.StepMax, steps - 1);
        const auto last = series(1234);
        for (int j = 0; j < steps; j += one.n) {
            const double v =
                qrn::num::leadingValue(last[static_cast<std::size_t>(j)]) * 0.01 * 1000;
            EXPECT_EQ(one.d.NodeDisp(1, -1, 5, j / one.n), *qrn::num::roundToInt32(v)) << j;
        }
        struct C {
            int threads;
            std::size_t window;
        };
        for (const C c : {C{2, 0}, C{2, 997}, C{3, 64}, C{2, 1}, C{4, 5000}}) {
            qrn::HistoryReadOptions o = base;
            o.threads = c.threads;
            o.windowBytes = c.window;
            const auto r = readHistory(stText, text, o);
            EXPECT_EQ(r.n, one.n);
            EXPECT_TRUE(rt::sameDataset(r.d, one.d))
                << c.threads << " " << c.window << " N " << one.n;
            const auto u = readHistory(stText, lines(his, "\n"), o);
            EXPECT_TRUE(rt::sameDataset(u.d, one.d)) << "LF " << c.threads << " " << c.window;
        }
    }
    EXPECT_EQ(thinning, (std::vector<int>{1, 2, 5}));
}

TEST(ReadHistoryText, SizesBeyondSixteenBits) {
    // 40000 steps on a small model, and a node at index 40000 on a long cable.
    std::vector<std::string> v(40000, "0");
    v[0] = "1";
    v[39999] = "2";
    const auto steps = readHistory(lines({"*ELEMENT  CABLE", elem(1, 1, 2)}),
                                   lines(record("DISP", 1, 2, 40000, v)));
    EXPECT_EQ(steps.d.StepCount, 40000);
    EXPECT_EQ(steps.d.StepMax, 39999);
    EXPECT_EQ(steps.d.NodeDisp(0, -1, 1, 0), 1000);
    EXPECT_EQ(steps.d.NodeDisp(0, -1, 1, 39999), 2000);

    Lines st{"*ELEMENT  CABLE"};
    for (int e = 1; e <= 40000; ++e) st.push_back(elem(e, e, e + 1));
    const auto nodes = readHistory(lines(st), lines(record("DISP", 4, 40001, 2, {"0.5", "-0.5"}) +
                                                    record("CABL", 1, 40000, 2, {"3", "4"})));
    EXPECT_EQ(nodes.d.NodeDisp(0, 2, 40000, 0), 500);
    EXPECT_EQ(nodes.d.NodeDisp(0, 2, 40000, 1), -500);
    EXPECT_EQ(nodes.d.TensionElem(0), 40000);
}

TEST(ReadHistoryText, MissingFileNamesIt) {
    rt::Folder dir;
    Dataset d;
    d.DataReset();
    const auto f = qrn::ReadTopology(d, dir.write("st.dat", settings()));
    int n = 1;
    try {
        qrn::ReadHistoryText(d, dir.path("vanished.his"), f, n);
        FAIL() << "no error";
    } catch (const qrn::QrnError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("vanished.his")));
        EXPECT_EQ(e.title(), QStringLiteral("ファイル読み込みエラー"));
    }
}

TEST(ReadHistoryText, ReportsProgress) {
    rt::RecordingProgress progress;
    qrn::HistoryReadOptions o;
    o.progress = &progress;
    o.windowBytes = 100;
    std::vector<std::string> v(50, "1");
    readHistory(settings(), lines(record("DISP", 1, 1, 50, v) + record("DISP", 2, 1, 50, v)), o);
    EXPECT_GT(progress.progressCalls, 5);
    EXPECT_EQ(progress.lastProgress, 1.0);
    EXPECT_TRUE(progress.calls.empty());
}

TEST(ReadHistoryText, MalformedFilesNeverLeaveTheArrays) {
    std::mt19937 rng(7);
    auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
    const std::vector<std::string> kinds{"DISP", "CABL", "BEAM", "XXXX", "DIS", ""};
    const std::vector<std::string> numbers{"1",   "2",  "3", "5",          "11",   "20",
                                           "999", "-1", "0", "2147483647", "9E20", "x"};
    const std::vector<std::string> counts{"0",   "3", "7",           "-5",  "1E12",
                                          "abc", "",  "40000000000", "2.5", "12\n3"};
    const std::vector<std::string> fieldTexts{"1.5", "-0.25E+01", "4E4", "-4E4",     "1E300", "abc",
                                              "",    " 1 2",      "0.5", "3.2767E4", "NaN",   "-"};
    const std::vector<std::string> eols{"\r\n", "\r", "\n"};
    for (int i = 0; i < 300; ++i) {
        std::string text;
        const std::string eol = pick(eols);
        const int lineCount = static_cast<int>(rng() % 40);
        for (int l = 0; l < lineCount; ++l) {
            const unsigned what = rng() % 10;
            std::string line;
            if (what < 2) {
                line = "HISTORY";
                rt::put(line, 21, pick(kinds));
                rt::put(line, 40, std::string(1, "0123456789 x"[rng() % 12]));
                rt::put(line, 52, rt::right(pick(numbers), 9));
                line.resize(rng() % 2 ? line.size() : rng() % (line.size() + 1));
            } else if (what < 3) {
                line = pick(counts);
            } else if (what < 9) {
                for (auto f = rng() % 8; f > 0; --f) line += rt::right(pick(fieldTexts), 12);
                line.resize(line.size() - std::min<std::size_t>(line.size(), rng() % 13));
            } else {
                for (auto c = rng() % 30; c > 0; --c) line += static_cast<char>(rng() % 128);
            }
            text += line + (rng() % 20 == 0 ? pick(eols) : eol);
        }
        qrn::HistoryReadOptions o;
        o.memoryLimit = 1 << 20;
        o.threads = 1 + static_cast<int>(rng() % 3);
        o.windowBytes = rng() % 2 ? 0 : 1 + rng() % 200;
        Read r;
        try {
            r = readHistory(settings(), text, o);
        } catch (const qrn::QrnError& e) {
            // Counts beyond the memory limit, or beyond what the file can hold.
            EXPECT_TRUE(e.title() == QStringLiteral("メモリー不足") ||
                        e.title() == qrn::kReadErrorTitle)
                << i << " " << e.title().toStdString();
            continue;
        }
        const Dataset& d = r.d;
        const std::int64_t timeHi = d.StepCount / r.n + 1;
        ASSERT_EQ(d.NodeDisp.hi(3), timeHi) << i;
        ASSERT_EQ(d.TensionHist.hi(0), timeHi) << i;
        ASSERT_EQ(d.TensionHist.hi(1), std::max(0, d.TensionMax)) << i;
        ASSERT_EQ(d.TensionElem.hi(0), std::max(0, d.TensionMax)) << i;
        if (d.BeamRecCount > 0) {
            ASSERT_EQ(d.BeamHist.hi(0), timeHi) << i;
            ASSERT_EQ(d.BeamHist.hi(1), d.BeamRecCount - 1) << i;
            ASSERT_EQ(d.BeamRecInfo.hi(1), d.BeamRecCount - 1) << i;
        }
        ASSERT_GE(d.StepMax, 0) << i;
        ASSERT_LE(d.StepMax / r.n, timeHi) << i;
    }
}
