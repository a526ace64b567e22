#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "dataset/error.h"
#include "readers/histories.h"
#include "readers/historybinary.h"
#include "readers/settingsreader.h"
#include "readertest.h"

using qrn::Dataset;
using rt::elem;
using rt::lines;

namespace {

constexpr auto kNoLimit = std::numeric_limits<std::uint64_t>::max();

// Cable 1-2-3-4-5: node 5 is slot 0, index 4; 2 slots x 4 x 5 nodes x 4 bytes = 160 bytes
// per time index.
std::string settings(const std::string& force = "KG", const std::string& length = "M") {
    return lines({"*UNIT", rt::units(force, length), "*ELEMENT  CABLE", elem(1, 1, 2),
                  elem(2, 2, 3), elem(3, 3, 4), elem(4, 4, 5)});
}

struct Read {
    Dataset d;
    int n = 1;
    double interval = 0;
    rt::RecordingProgress progress;
};

void readBinary(Read& r, const std::string& st, const std::string& f08,
                std::uint64_t limit = kNoLimit) {
    rt::Folder dir;
    r.d.DataReset();
    const auto f = qrn::ReadTopology(r.d, dir.write("self.dat", st));
    r.interval = qrn::ReadHistoryBinary(r.d, dir.write("run1.f08", f08), f, r.n, r.progress, limit);
}

std::vector<std::int32_t> dispSeries(const Dataset& d, int k, int index) {
    std::vector<std::int32_t> out;
    for (std::int64_t t = 0; t <= d.NodeDisp.hi(3); ++t) out.push_back(d.NodeDisp(0, k, index, t));
    return out;
}

using V32 = std::vector<std::int32_t>;

}  // namespace

TEST(ReadHistoryBinary, DisplacementEntries) {
    rt::F08 f;
    f.steps = 3;
    f.interval = 0.02;
    f.entries = {{5, 1}, {5, 3}};
    f.dispCount = 2;
    f.listEnd = 2;
    f.values = {{1.5, -0.25}, {2, 0.0625}, {0.001, 3}};
    Read r;
    readBinary(r, settings(), f.build().str());
    EXPECT_EQ(r.d.StepCount, 3);
    EXPECT_EQ(r.d.StepMax, 2);
    EXPECT_EQ(dispSeries(r.d, -1, 4), (V32{1500, 2000, 1, 0, 0}));
    EXPECT_EQ(dispSeries(r.d, 1, 4), (V32{-250, 62, 3000, 0, 0}));  // 62.5: tie to even
    EXPECT_EQ(r.d.TensionMax, -1);
    EXPECT_EQ(r.d.BeamRecCount, 0);
    EXPECT_EQ(r.interval, 0.02);
    EXPECT_TRUE(r.progress.calls.empty());
    qrn::AddTensionPlaceholder(r.d, r.n);
    EXPECT_EQ(r.d.TensionMax, 0);
    EXPECT_EQ(r.d.TensionHist(2, 0), 100);
}

TEST(ReadHistoryBinary, UnitsTensionsAndSkippedEntries) {
    rt::F08 f;
    f.steps = 2;
    // Unknown node, type 5 and type 0 are skipped; node 3 in centimetres, torsion unscaled.
    f.entries = {{99, 1}, {3, 5}, {3, 0}, {3, 2}, {3, 4}, {101, 0}, {102, 0}, {4, 1}};
    f.dispCount = 5;
    f.listEnd = 7;  // entry 7 lies past the tension entries and is not read
    f.values = {{9, 9, 9, 150, 0.5, 0.5, 40, 9}, {9, 9, 9, -1.5, -0.25, -32.768, 0.001, 9}};
    Read r;
    readBinary(r, settings("T", "CM"), f.build().str());
    EXPECT_EQ(dispSeries(r.d, 0, 2), (V32{1500, -15, 0, 0}));
    EXPECT_EQ(dispSeries(r.d, 2, 2), (V32{500, -250, 0, 0}));
    EXPECT_EQ(dispSeries(r.d, -1, 3), (V32{0, 0, 0, 0}));
    ASSERT_EQ(r.d.TensionMax, 1);
    EXPECT_EQ(r.d.TensionElem(0), 101);
    EXPECT_EQ(r.d.TensionElem(1), 102);
    EXPECT_EQ(r.d.TensionHist.hi(1), 1);
    EXPECT_EQ(r.d.TensionHist(0, 0), 500);
    EXPECT_EQ(r.d.TensionHist(1, 0), -32768);
    EXPECT_EQ(r.d.TensionHist(0, 1), 0);  // 40 t does not fit 16 bits: skipped
    EXPECT_EQ(r.d.TensionHist(1, 1), 1);
    for (std::size_t i = 0; i < r.d.NodeDisp.size(); ++i)
        if (r.d.NodeDisp.data()[i] == 9000 || r.d.NodeDisp.data()[i] == 90)
            ADD_FAILURE() << "skipped entry stored at " << i;
}

TEST(ReadHistoryBinary, ThinningReadsEveryNthStep) {
    rt::F08 f;
    f.steps = 12;
    f.entries = {{5, 1}};
    f.dispCount = 1;
    f.listEnd = 1;
    for (int s = 1; s <= 12; ++s) f.values.push_back({static_cast<double>(s)});
    Read r;
    readBinary(r, settings(), f.build().str(), 160 * 4);  // N = 5: time indices 0..3
    EXPECT_EQ(r.n, 5);
    EXPECT_EQ(dispSeries(r.d, -1, 4), (V32{1000, 6000, 11000, 0}));
    EXPECT_EQ(r.d.StepMax, 11);
    qrn::FinishThinning(r.d, r.n);
    EXPECT_EQ(r.d.StepCount, 2);
    EXPECT_EQ(r.d.StepMax, 2);
    EXPECT_EQ(r.d.NodeDisp.hi(3), 3);
    EXPECT_EQ(qrn::thinnedIntervalText(r.interval, r.n), QStringLiteral("0.25"));
}

TEST(ReadHistoryBinary, NoStepsGivesOneFrame) {
    rt::F08 f;
    Read r;
    readBinary(r, settings(), f.build().str());
    EXPECT_EQ(r.d.StepCount, 0);
    EXPECT_EQ(r.d.StepMax, 0);
    EXPECT_EQ(r.d.NodeDisp.hi(3), 1);
}

TEST(ReadHistoryBinary, DamagedFilesEndWithAMessageNamingThem) {
    rt::F08 good;
    good.steps = 3;
    good.entries = {{5, 1}, {5, 2}, {101, 0}};
    good.dispCount = 2;
    good.listEnd = 3;
    good.values = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    const std::size_t hAt = 256 + 4 * 3;
    const auto base = static_cast<std::size_t>(good.base());
    struct C {
        const char* name;
        std::function<void(rt::Bytes&)> damage;
    };
    const C cases[] = {
        {"shorter than the step count", [](rt::Bytes& b) { b.resize(100); }},
        {"shorter than the interval", [](rt::Bytes& b) { b.resize(115); }},
        {"shorter than the base", [](rt::Bytes& b) { b.resize(254); }},
        {"negative step count", [](rt::Bytes& b) { b.i32(108, -1); }},
        {"header words past the end", [](rt::Bytes& b) { b.i32(108, 400000000); }},
        {"base before the file", [](rt::Bytes& b) { b.i32(252, -400); }},
        {"base past the end", [](rt::Bytes& b) { b.i32(252, 2000000000); }},
        {"list length not a multiple of 8", [&](rt::Bytes& b) { b.i32(base + 312, 20); }},
        {"negative list length", [&](rt::Bytes& b) { b.i32(base + 312, -8); }},
        {"list past the end", [&](rt::Bytes& b) { b.i32(base + 312, 8 * 1000000); }},
        {"displacement entries beyond the list", [&](rt::Bytes& b) { b.i32(hAt + 12, 4); }},
        {"negative displacement count", [&](rt::Bytes& b) { b.i32(hAt + 12, -1); }},
        {"tension entries beyond the list", [&](rt::Bytes& b) { b.i32(hAt + 8, 4); }},
        {"last step record cut short", [](rt::Bytes& b) { b.resize(b.size() - 1); }},
        {"last step record missing",
         [&](rt::Bytes& b) { b.resize(static_cast<std::size_t>(good.recordAt(3))); }},
    };
    for (const auto& c : cases) {
        rt::Bytes b = good.build();
        c.damage(b);
        Read r;
        try {
            readBinary(r, settings(), b.str());
            ADD_FAILURE() << c.name << ": no error";
        } catch (const qrn::QrnError& e) {
            EXPECT_EQ(e.title(), QStringLiteral("ファイル読み込みエラー")) << c.name;
            EXPECT_TRUE(e.message().contains(QStringLiteral("run1.f08"))) << c.name;
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("ファイル"))) << c.name;
        }
        EXPECT_TRUE(r.progress.calls.empty()) << c.name;
    }
    Read ok;
    readBinary(ok, settings(), good.build().str());  // the undamaged file reads
    EXPECT_EQ(ok.d.TensionHist(2, 0), 9);
}
