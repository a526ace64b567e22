// The report on small hand-built models whose answers are known in closed form.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <cmath>
#include <functional>

#include "analysis/geometry.h"
#include "analysis/report.h"
#include "dataset/error.h"

namespace {

using namespace qrn;

// Cable s node n rests at at(s, n); its displacement at step t is move(s, n, t)
// in metres (stored x 1000). One tension record per cable, flat unless set.
struct Model {
    int cables = 2;
    int nodes = 5;
    int steps = 9;
    std::function<Vec3(int, int)> at;
    std::function<Vec3(int, int, int)> move = [](int, int, int) { return Vec3{}; };

    Dataset build() const {
        Dataset d;
        d.CableMax = cables - 1;
        d.NodeMax = nodes - 1;
        d.StepCount = steps;
        d.StepMax = steps - 1;
        d.NodeTblMax = cables * nodes - 1;
        d.CableInfo.create({Bounds{0, 1}, Bounds{0, cables - 1}});
        d.NodeTbl.create({Bounds{0, 2}, Bounds{0, d.NodeTblMax}});
        d.NodePos.create({Bounds{0, cables}, Bounds{0, 2}, Bounds{0, nodes - 1}});
        d.NodeDisp.create(
            {Bounds{0, cables}, Bounds{-1, 2}, Bounds{0, nodes - 1}, Bounds{0, steps}});
        d.TensionMax = cables - 1;
        d.TensionElem.create({Bounds{0, cables - 1}});
        d.TensionHist.create({Bounds{0, steps}, Bounds{0, cables - 1}});
        for (int s = 0; s < cables; ++s) {
            d.CableInfo(1, s) = nodes - 1;
            d.TensionElem(s) = 100 + s;
            for (int n = 0; n < nodes; ++n) {
                const int j = s * nodes + n;
                d.NodeTbl(0, j) = 1000 * (s + 1) + n;
                d.NodeTbl(1, j) = s;
                d.NodeTbl(2, j) = n;
                const Vec3 p = at(s, n);
                d.NodePos(s, 0, n) = static_cast<float>(p.x);
                d.NodePos(s, 1, n) = static_cast<float>(p.y);
                d.NodePos(s, 2, n) = static_cast<float>(p.z);
                for (int t = 0; t < steps; ++t) {
                    const Vec3 m = move(s, n, t);
                    d.NodeDisp(s, -1, n, t) = static_cast<std::int32_t>(std::lround(m.x * 1000));
                    d.NodeDisp(s, 0, n, t) = static_cast<std::int32_t>(std::lround(m.y * 1000));
                    d.NodeDisp(s, 1, n, t) = static_cast<std::int32_t>(std::lround(m.z * 1000));
                }
            }
        }
        return d;
    }
};

// Two straight cables along x, 3 m apart in y at z = 10; their middle nodes
// bow towards each other by 0.25 m per step up to step 4 and back, so the
// clearance is 3 - 0.5 min(t, 8 - t), closest at the two middle nodes.
Model bowing() {
    Model m;
    m.at = [](int s, int n) { return Vec3{double(n), s == 0 ? 0.0 : 3.0, 10.0}; };
    m.move = [](int s, int n, int t) {
        const double d = n == 2 ? 0.25 * std::min(t, 8 - t) : 0.0;
        return Vec3{0.0, s == 0 ? d : -d, 0.0};
    };
    return m;
}

Report run(const Dataset& d, ReportRequest r = {}) {
    NullProgress p;
    return computeReport(d, r, p);
}

QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const QrnError& e) {
        return e.message();
    }
    return {};
}

TEST(SegmentDistance, HandComputedCases) {
    struct Case {
        Vec3 p0, p1, q0, q1;
        double distance;
        double u, v;  // negative: not unique, not checked
    } const cases[] = {
        {{0, 0, 0}, {4, 0, 0}, {1, -1, 0}, {1, 3, 0}, 0.0, 0.25, 0.25},  // crossing
        {{0, 0, 0}, {2, 0, 0}, {1, -1, 2}, {1, 1, 2}, 2.0, 0.5, 0.5},    // skew, inside both
        {{0, 0, 0}, {1, 0, 0}, {3, 0, 0}, {5, 0, 0}, 2.0, 1.0, 0.0},     // collinear, end to end
        {{0, 0, 0}, {4, 0, 0}, {1, 3, 0}, {1, 1, 0}, 1.0, 0.25, 1.0},    // end onto the inside
        {{1, 2, 3}, {1, 2, 3}, {4, 6, 3}, {4, 6, 3}, 5.0, 0.0, 0.0},     // two points
        {{5, 1, 0}, {5, 1, 0}, {0, 0, 0}, {4, 0, 0}, std::sqrt(2.0), 0, 1},  // point past an end
        {{0, 0, 0}, {10, 0, 0}, {11, 1, 0}, {20, 1.5, 0}, std::sqrt(2.0), 1, 0},  // nearly parallel
        {{0, 0, 0}, {4, 0, 0}, {1, 3, 0}, {6, 3, 0}, 3.0, -1, -1},  // parallel, overlapping
    };
    for (const Case& c : cases) {
        for (const bool swapped : {false, true}) {
            const SegmentClosest r = swapped ? closestPoints(c.q0, c.q1, c.p0, c.p1)
                                             : closestPoints(c.p0, c.p1, c.q0, c.q1);
            EXPECT_NEAR(r.distance(), c.distance, 1e-12) << c.distance;
            const double dx = r.a.x - r.b.x, dy = r.a.y - r.b.y, dz = r.a.z - r.b.z;
            EXPECT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), c.distance, 1e-12);
            if (c.u < 0) continue;
            EXPECT_NEAR(swapped ? r.v : r.u, c.u, 1e-12) << c.distance;
            EXPECT_NEAR(swapped ? r.u : r.v, c.v, 1e-12) << c.distance;
        }
    }
}

TEST(Clearance, BowingCablesOverStepsAndThresholds) {
    const Dataset d = bowing().build();
    struct Case {
        int threads;
        const char* from;
        const char* to;
        std::optional<double> threshold;
        double distance;
        std::int64_t step;
        std::int64_t below;
        std::optional<std::int64_t> firstBelow;
    } const cases[] = {
        {1, nullptr, nullptr, std::nullopt, 1.0, 4, 0, std::nullopt},
        {3, nullptr, nullptr, 2.0, 1.0, 4, 3, 3},  // below 2 m at steps 3, 4, 5
        {2, nullptr, nullptr, 0.5, 1.0, 4, 0, std::nullopt},
        {2, "0.1", "0.15", 2.5, 1.5, 3, 2, 2},    // steps 2..3
        {4, "0.25", nullptr, 1.6, 1.5, 5, 1, 5},  // steps 5..8
    };
    for (const Case& c : cases) {
        ReportRequest r;
        r.threads = c.threads;
        if (c.from) r.fromText = QString::fromLatin1(c.from);
        if (c.to) r.toText = QString::fromLatin1(c.to);
        r.threshold = c.threshold;
        const Report rep = run(d, r);
        ASSERT_EQ(rep.clearances.size(), 1u);
        const Clearance& k = rep.clearances[0];
        EXPECT_EQ(k.distance, c.distance);
        EXPECT_EQ(k.step, c.step);
        EXPECT_DOUBLE_EQ(k.time, 0.05 * static_cast<double>(c.step));
        // The middle node (index 2) is the start of segment 2.
        EXPECT_EQ(k.a.slot, 0);
        EXPECT_EQ(k.b.slot, 1);
        EXPECT_EQ(k.a.segment, 2);
        EXPECT_EQ(k.b.segment, 2);
        EXPECT_EQ(k.a.u, 0.0);
        EXPECT_EQ(k.b.u, 0.0);
        EXPECT_EQ(k.a.x, 2.0);
        EXPECT_EQ(k.b.y - k.a.y, c.distance);
        EXPECT_EQ(k.stepsBelow, c.below);
        EXPECT_EQ(k.firstBelowStep, c.firstBelow);
        EXPECT_EQ(k.pass, !c.threshold || c.distance >= *c.threshold);
        EXPECT_DOUBLE_EQ(k.belowTime, 0.05 * static_cast<double>(c.below));
    }
}

TEST(Clearance, SeriesAtEveryStep) {
    const Dataset d = bowing().build();
    ReportRequest r;
    r.threads = 2;
    NullProgress p;
    const ClearanceSeries s = clearanceSeries(d, prepareReport(d, r), 0, 1, p);
    const std::vector<double> want = {3.0, 2.5, 2.0, 1.5, 1.0, 1.5, 2.0, 2.5, 3.0};
    EXPECT_EQ(s.distance, want);
}

TEST(Clearance, CrossingCablesTouch) {
    // Cable 0 along x at z = 10; cable 1 along y through x = 2.5, coming down
    // 1 m per step from z = 12: they cross at step 2, mid-segment 2 of cable 0
    // and at node 2 of cable 1.
    Model m;
    m.steps = 4;
    m.at = [](int s, int n) {
        return s == 0 ? Vec3{double(n), 0.0, 10.0} : Vec3{2.5, n - 2.0, 12.0};
    };
    m.move = [](int s, int, int t) { return Vec3{0.0, 0.0, s == 1 ? -double(t) : 0.0}; };
    const Report rep = run(m.build());
    ASSERT_EQ(rep.clearances.size(), 1u);
    const Clearance& k = rep.clearances[0];
    EXPECT_EQ(k.distance, 0.0);
    EXPECT_EQ(k.step, 2);
    EXPECT_EQ(k.a.segment, 2);
    EXPECT_EQ(k.a.u, 0.5);
    EXPECT_EQ(k.b.segment, 2);
    EXPECT_EQ(k.b.u, 0.0);
    EXPECT_EQ(k.a.x, 2.5);
    EXPECT_EQ(k.a.z, 10.0);
}

TEST(Groups, DefaultBundlesAndSpecs) {
    // Cables along x at these y offsets (z = 10).
    struct Case {
        std::vector<double> y;
        double gap;
        QString want;
    } const cases[] = {
        {{0.0, 0.4, 10.0}, 1.0, QStringLiteral("0,1;2")},  // a twin bundle and a third cable
        {{0.0, 0.4, 10.0}, 0.3, QStringLiteral("0;1;2")},
        {{0.0, 0.8, 1.6}, 1.0, QStringLiteral("0,1,2")},  // joined through the middle cable
        {{10.0, 0.0, 10.5}, 1.0, QStringLiteral("0,2;1")},
    };
    for (const Case& c : cases) {
        Model m;
        m.cables = static_cast<int>(c.y.size());
        m.at = [&](int s, int n) {
            return Vec3{double(n), c.y[static_cast<std::size_t>(s)], 10.0};
        };
        EXPECT_EQ(cableGroupsText(defaultCableGroups(m.build(), c.gap)), c.want);
    }

    Model three;
    three.cables = 3;
    three.at = [](int s, int n) { return Vec3{double(n), 5.0 * s, 0.0}; };
    const Dataset d = three.build();
    EXPECT_EQ(cableGroupsText(parseCableGroups(QStringLiteral(" 2, 0 ;"), d)),
              QStringLiteral("2,0;1"));
    EXPECT_EQ(cableGroupsText(parseCableGroups(QString(), d)), QStringLiteral("0;1;2"));
    struct Bad {
        const char* spec;
        const char* says;
    } const bad[] = {
        {"0,3", "ケーブル番号 3 はありません"},
        {"0,1;1,2", "ケーブル番号 1 が２つのグループ"},
        {"0;x", "読み取れません"},
        {"0,1.5", "読み取れません"},
    };
    for (const Bad& b : bad) {
        ReportRequest r;
        r.groupsText = QString::fromUtf8(b.spec);
        EXPECT_TRUE(errorOf([&] { run(d, r); }).contains(QString::fromUtf8(b.says))) << b.spec;
    }
}

TEST(Peaks, EarliestStepWinsTiesAcrossThreads) {
    Model m;
    m.steps = 6;
    m.at = [](int s, int n) { return Vec3{double(n), 5.0 * s, 0.0}; };
    Dataset d = m.build();
    const std::int16_t rec0[] = {5, 9, 9, 1, 1, 7};
    for (int t = 0; t < 6; ++t) {
        d.TensionHist(t, 0) = rec0[t];
        d.TensionHist(t, 1) = 4;
    }
    d.BeamRecCount = 1;
    d.BeamRecInfo.create({Bounds{0, 1}, Bounds{0, 0}});
    d.BeamRecInfo(0, 0) = 7001;
    d.BeamRecInfo(1, 0) = 2;
    d.BeamHist.create({Bounds{0, 6}, Bounds{0, 0}});
    const std::int16_t beam[] = {-3, 2, 2, -3, 0, 2};
    for (int t = 0; t < 6; ++t) d.BeamHist(t, 0) = beam[t];

    for (const int threads : {1, 2, 3, 6}) {
        ReportRequest r;
        r.threads = threads;
        const Report rep = run(d, r);
        ASSERT_EQ(rep.tensions.size(), 2u);
        const Peak& a = rep.tensions[0].peak;
        EXPECT_EQ(rep.tensions[0].element, 100);
        EXPECT_EQ((std::array<std::int64_t, 4>{a.max, a.maxStep, a.min, a.minStep}),
                  (std::array<std::int64_t, 4>{9, 1, 1, 3}))
            << threads;
        const Peak& b = rep.tensions[1].peak;
        EXPECT_EQ((std::array<std::int64_t, 4>{b.max, b.maxStep, b.min, b.minStep}),
                  (std::array<std::int64_t, 4>{4, 0, 4, 0}));
        ASSERT_EQ(rep.beams.size(), 1u);
        const Peak& c = rep.beams[0].peak;
        EXPECT_EQ(rep.beams[0].element, 7001);
        EXPECT_EQ(rep.beams[0].component, 2);
        EXPECT_EQ((std::array<std::int64_t, 4>{c.max, c.maxStep, c.min, c.minStep}),
                  (std::array<std::int64_t, 4>{2, 1, -3, 0}));
    }
}

TEST(Envelope, BowingNodeSwingAndCsv) {
    const Report rep = run(bowing().build());
    ASSERT_EQ(rep.envelopes.size(), 10u);
    const NodeEnvelope& e = rep.envelopes[2];  // cable 0, middle node
    EXPECT_EQ(e.node, 1002);
    const Peak& y = e.component[EnvY];
    EXPECT_EQ((std::array<std::int64_t, 4>{y.max, y.maxStep, y.min, y.minStep}),
              (std::array<std::int64_t, 4>{1000, 4, 0, 0}));
    EXPECT_EQ(e.swingY(), 1000);
    EXPECT_EQ(e.swingZ(), 0);
    EXPECT_EQ(rep.envelopes[7].component[EnvY].min, -1000);  // cable 1 bows the other way
    EXPECT_EQ(envelopeDegrees(1000), 57.29);                 // 1 rad as the CSV export writes it

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("env.csv"));
    writeEnvelopeCsv(rep, path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QStringDecoder sjis("Shift_JIS");
    const QStringList lines = QString(sjis.decode(f.readAll())).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 12);  // header, 10 rows, empty after the last CR LF
    EXPECT_TRUE(
        lines[0].startsWith(QStringLiteral("節点番号,ケーブル番号,ケーブル内番号,X最大(mm)")));
    EXPECT_EQ(lines[3], QStringLiteral("1002,0,2,0,0,0,0,1000,4,0,0,0,0,0,0,0,0,0,0,1000,0"));
    // A target that cannot be written: a message, and the folder stays as it is.
    EXPECT_TRUE(errorOf([&] {
                    writeEnvelopeCsv(rep, dir.path());
                }).contains(QStringLiteral("保存できませんでした")));
}

TEST(Report, EdgeCases) {
    const Dataset d = bowing().build();
    // One group for all: no clearance, a note, the rest reported.
    ReportRequest one;
    one.groupsText = QStringLiteral("0,1");
    const Report r1 = run(d, one);
    EXPECT_TRUE(r1.clearances.empty());
    EXPECT_TRUE(r1.clearanceNote.contains(QStringLiteral("１つのグループ")));
    EXPECT_EQ(r1.tensions.size(), 2u);
    EXPECT_EQ(r1.envelopes.size(), 10u);

    // Ranges without a step.
    for (const auto& [from, to] : {std::pair{"0.3", "0.1"}, std::pair{"1", "2"}}) {
        ReportRequest r;
        r.fromText = QString::fromLatin1(from);
        r.toText = QString::fromLatin1(to);
        EXPECT_TRUE(
            errorOf([&] { run(d, r); }).contains(QStringLiteral("時間ステップがありません")))
            << from;
    }

    // One frame, as a settings-only read leaves it.
    Model still = bowing();
    still.steps = 1;
    Dataset s = still.build();
    s.StepCount = 0;
    const Report r2 = run(s);
    EXPECT_EQ(r2.setup.steps.count(), 1);
    ASSERT_EQ(r2.clearances.size(), 1u);
    EXPECT_EQ(r2.clearances[0].distance, 3.0);

    // Cancelled on the first poll.
    struct Stop final : Progress {
        void message(const QString&, const QString&) override {}
        bool cancelRequested() override { return true; }
    } stop;
    EXPECT_THROW(computeReport(d, ReportRequest{}, stop), Cancelled);
}

}  // namespace
