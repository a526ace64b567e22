// What a frame draws, as recorded on a RecordingCanvas: order of operations,
// markers and their colours, torsion bars, beams, trace and the read-outs.
#include <gtest/gtest.h>

#include <cmath>

#include "model.h"
#include "render/frame.h"
#include "render/viewer.h"

using namespace qrn;
using namespace qrn::render;
using Kind = RecordingCanvas::Kind;
using qrn::test::blankModel;
using qrn::test::setPos;

namespace {

struct Viewer {
    ViewMode mode;
    ViewerState st;
    ViewParams p;
    RecordingCanvas canvas;
    explicit Viewer(ViewMode m) : mode(m), p(qrn::test::openedViewer(m)) {}
    void layout(Dataset& ds) { layoutPass(mode, initialClientSize(mode), ds, st, p, canvas); }
    FrameEnd draw(const Dataset& ds) {
        canvas.reset();
        return drawFrame(mode, ds, st, p, canvas);
    }
};

// Cables along x with the given last node indices, 10 m apart.
Dataset cables(const std::vector<int>& last) {
    Dataset ds = blankModel(last);
    for (std::size_t s = 0; s < last.size(); ++s)
        for (int n = 0; n <= last[s]; ++n)
            setPos(ds, int(s), n, 10.0f * n, 10.0f * float(s), 20.0f);
    return ds;
}

std::vector<int> markerColours(const std::vector<RecordingCanvas::Op>& circles) {
    std::vector<int> out;
    for (const auto& op : circles)
        for (int i = 0; i < 16; ++i)
            if (kPalette[std::size_t(i)] == op.colour) out.push_back(i);
    return out;
}

}  // namespace

TEST(Frame, OperationOrder) {
    Dataset ds = cables({4, 4});
    qrn::test::addBeams(ds, {{0, 1, 1, 1}});
    Viewer v(ViewMode::Normal);
    v.p.lineWidth = 3;
    v.layout(ds);
    ASSERT_EQ(v.draw(ds), FrameEnd::Complete);
    std::vector<Kind> kinds;
    for (const auto& op : v.canvas.ops()) kinds.push_back(op.kind);
    const std::vector<Kind> want = {Kind::Scale,     Kind::Clear,     Kind::FillColor,
                                    Kind::LineWidth, Kind::Polyline,  Kind::Polyline,
                                    Kind::Circle,    Kind::Line,      Kind::Circle,
                                    Kind::Line,      Kind::LineWidth, Kind::Line};
    EXPECT_EQ(kinds, want);
    const auto& ops = v.canvas.ops();
    EXPECT_EQ(ops[2].colour, kPalette[0]);
    EXPECT_EQ(ops[3].args[0], 3.0);
    EXPECT_EQ(ops[10].args[0], 2.0);
    EXPECT_EQ(ops[11].colour, kPalette[1]);
    EXPECT_EQ(ops[11].args[0], v.st.ScrX(0, 1));
    EXPECT_EQ(ops[11].args[3], v.st.ScrY(1, 1));
}

TEST(Frame, PolylinePixelsFollowTheWindow) {
    Dataset ds = cables({2});
    Viewer v(ViewMode::Normal);
    v.layout(ds);
    v.draw(ds);
    const auto line = v.canvas.opsOf(Kind::Polyline).at(0);
    ASSERT_EQ(line.points.size(), 3u);
    for (int n = 0; n < 3; ++n) {
        const double px = (double(v.st.ScrX(0, n)) - v.st.Window.Left) * v.st.PixPerUnitX;
        const double py = (double(v.st.ScrY(0, n)) - v.st.Window.Top) * v.st.PixPerUnitY;
        EXPECT_EQ(line.points[std::size_t(n)].x, std::lrint(px));
        EXPECT_EQ(line.points[std::size_t(n)].y, std::lrint(py));
    }
    EXPECT_EQ(v.st.PolyPts(2), line.points[2]);
}

TEST(Frame, MarkerColoursRestartOnEveryCable) {
    Dataset ds = cables({20, 7});
    Viewer v(ViewMode::Normal);
    v.layout(ds);
    v.draw(ds);
    const auto circles = v.canvas.opsOf(Kind::Circle);
    // Nodes 2, 4, ..., 18 on the first cable, 2, 4, 6 on the second.
    const std::vector<int> want = {3, 4, 5, 6, 7, 1, 2, 3, 4, 3, 4, 5};
    EXPECT_EQ(markerColours(circles), want);
    EXPECT_EQ(circles[0].args[0], v.st.ScrX(0, 2));
    EXPECT_EQ(circles[9].args[1], v.st.ScrY(1, 2));
}

TEST(Frame, MarkerSizeAndSpacing) {
    struct Case {
        std::int16_t spacing;
        int size, zoom, last;
        std::size_t circles;
        float radius;
    };
    const Case cases[] = {
        {2, 1, 0, 10, 4, 0.06f},    // nodes 2, 4, 6, 8
        {2, 5, 3, 10, 4, 0.0375f},  // 0.3 / 1 / 8
        {3, 2, 1, 10, 3, 0.0375f},  // 0.3 / 4 / 2
        {2, 1, 0, 2, 0, 0},         // last node index at most the spacing: none
        {2, 1, 0, 3, 1, 0.06f},    {0, 1, 0, 10, 0, 0}, {-2, 1, 0, 10, 0, 0},
    };
    for (const auto& k : cases) {
        Dataset ds = cables({k.last});
        Viewer v(ViewMode::Normal);
        v.p.markerStep = k.spacing;
        v.p.markerSize = k.size;
        v.p.zoomLevel = k.zoom;
        v.layout(ds);
        v.draw(ds);
        const auto circles = v.canvas.opsOf(Kind::Circle);
        ASSERT_EQ(circles.size(), k.circles) << k.spacing << " " << k.last;
        if (!circles.empty()) {
            EXPECT_FLOAT_EQ(float(circles[0].args[2]), k.radius);
        }
        EXPECT_EQ(v.canvas.opsOf(Kind::Line).size(), k.circles);  // one bar each
    }
}

TEST(Frame, NoTorsionBarsWithoutMagnification) {
    Dataset ds = cables({10});
    Viewer v(ViewMode::Normal);
    v.p.twistScale = 0;
    v.layout(ds);
    v.draw(ds);
    EXPECT_EQ(v.canvas.opsOf(Kind::Circle).size(), 4u);
    EXPECT_TRUE(v.canvas.opsOf(Kind::Line).empty());
}

TEST(Frame, TorsionBarDirection) {
    // Twist 0.25 rad (with 0.05 of initial twist), magnified twice: 0.6 rad.
    Dataset ds = cables({4});
    ds.NodeDisp(0, 2, 2, 0) = 250;
    ds.NodeTwist0(0, 2) = 50.0f;
    struct Case {
        ViewMode mode;
        bool nearLow;
        int angle;
        double dir;
    };
    const Case cases[] = {
        {ViewMode::Normal, false, -40, 1.0}, {ViewMode::Normal, true, -40, -1.0},
        {ViewMode::Real, false, 0, -1.0},    {ViewMode::Real, false, 90, -1.0},
        {ViewMode::Real, false, -90, -1.0},  {ViewMode::Real, false, 91, 1.0},
        {ViewMode::Real, false, -91, 1.0},   {ViewMode::Real, false, 180, 1.0},
    };
    for (const auto& k : cases) {
        Viewer v(k.mode);
        v.p.nearLow = k.nearLow;
        v.p.azimuth = k.angle;
        v.p.twistScale = 2;
        v.layout(ds);
        v.draw(ds);
        const auto bars = v.canvas.opsOf(Kind::Line);
        ASSERT_EQ(bars.size(), 1u);
        const double theta = 0.6 * k.dir;
        const double d = 2.0 / 5.0;
        const double x = v.st.ScrX(0, 2), y = v.st.ScrY(0, 2);
        EXPECT_NEAR(bars[0].args[0], x - d * std::cos(theta), 1e-5) << k.angle;
        EXPECT_NEAR(bars[0].args[1], y - d * std::sin(theta), 1e-5) << k.angle;
        EXPECT_NEAR(bars[0].args[2], x + d * std::cos(theta), 1e-5) << k.angle;
        EXPECT_NEAR(bars[0].args[3], y + d * std::sin(theta), 1e-5) << k.angle;
    }
}

TEST(Frame, RealModeBarsTurnWithTimeWhenDisplacementIsOff) {
    Dataset ds = cables({4});
    ds.NodeDisp(0, 2, 2, 1) = 700;
    ds.NodeDisp(0, 0, 2, 1) = 5000;
    Viewer v(ViewMode::Real);
    v.p.dispScale = 0.0;
    v.layout(ds);
    const auto bar0 = v.canvas.opsOf(Kind::Line).at(0);
    const float x0 = v.st.ScrX(0, 2);
    v.p.timeStep = 1;
    v.draw(ds);
    EXPECT_EQ(v.st.ScrX(0, 2), x0);  // m = 0: the picture stays
    EXPECT_NE(v.canvas.opsOf(Kind::Line).at(0).args, bar0.args);
}

TEST(Frame, TraceKeepsEarlierFrames) {
    Dataset ds = cables({4});
    for (bool trace : {false, true}) {
        Viewer v(ViewMode::Normal);
        v.p.trace = trace;
        v.layout(ds);
        v.draw(ds);
        EXPECT_EQ(v.canvas.opsOf(Kind::Clear).size(), trace ? 0u : 1u);
        EXPECT_EQ(v.canvas.opsOf(Kind::Polyline).size(), 1u);
    }
}

TEST(Frame, NoBeamsKeepsTheLineWidth) {
    Dataset ds = cables({4});
    Viewer v(ViewMode::Real);
    v.p.lineWidth = 4;
    v.p.markerStep = 0;
    v.layout(ds);
    v.draw(ds);
    const auto widths = v.canvas.opsOf(Kind::LineWidth);
    ASSERT_EQ(widths.size(), 1u);
    EXPECT_EQ(widths[0].args[0], 4.0);
}

TEST(Frame, BeamsJoinAnySlotAndSkipBadEnds) {
    Dataset ds = cables({2, 2});
    ds.BeamNodeMax = -1;
    qrn::test::addBeams(ds, {{0, 2, 1, 0}, {0, 1, 7, 0}, {1, 2, 0, 0}});
    for (ViewMode mode : {ViewMode::Normal, ViewMode::Real}) {
        Viewer v(mode);
        v.p.markerStep = 0;
        v.layout(ds);
        v.draw(ds);
        const auto lines = v.canvas.opsOf(Kind::Line);
        // The element naming slot 7 is out of range: normal mode stops there,
        // real mode skips it.
        ASSERT_EQ(lines.size(), mode == ViewMode::Normal ? 1u : 2u);
        EXPECT_EQ(lines[0].args[0], v.st.ScrX(0, 2));
        EXPECT_EQ(lines[0].args[1], v.st.ScrY(0, 2));
        EXPECT_EQ(lines[0].args[2], v.st.ScrX(1, 0));
        EXPECT_EQ(v.st.LastFrame,
                  mode == ViewMode::Normal ? FrameEnd::Stopped : FrameEnd::Complete);
    }
}

TEST(Frame, LineWidthBeyond16Bits) {
    Dataset ds = cables({4});
    for (ViewMode mode : {ViewMode::Normal, ViewMode::Real}) {
        Viewer v(mode);
        v.layout(ds);
        v.p.lineWidth = std::nullopt;  // the box beyond 16 bits
        const FrameEnd end = v.draw(ds);
        EXPECT_TRUE(v.canvas.opsOf(Kind::LineWidth).empty());
        if (mode == ViewMode::Normal) {
            EXPECT_EQ(end, FrameEnd::Stopped);
            EXPECT_TRUE(v.canvas.opsOf(Kind::Polyline).empty());
        } else {
            EXPECT_EQ(end, FrameEnd::Complete);
            EXPECT_EQ(v.canvas.opsOf(Kind::Polyline).size(), 1u);
        }
    }
}

TEST(Frame, TensionReadoutAndGauge) {
    Dataset ds = blankModel({2}, 0, 3, 2);
    setPos(ds, 0, 2, 100.0f, 0, 0);
    const std::int16_t rec0[] = {0, 500, 300, 1234};
    for (int t = 0; t < 4; ++t) {
        ds.TensionHist(t, 0) = rec0[t];
        ds.TensionHist(t, 1) = static_cast<std::int16_t>(-7 * t);
    }
    Viewer v(ViewMode::Normal);
    activateViewer(ViewMode::Normal, initialClientSize(ViewMode::Normal), ds, v.st, v.p, v.canvas);
    EXPECT_EQ(v.st.GaugeMax, 1234.0f);  // record 0 at the last step
    EXPECT_EQ(v.st.TensionText, "0kg");
    EXPECT_EQ(v.st.GaugeValue, 0.0f);  // only positive tensions move the needle
    v.st.GaugeMax = 100.0f;
    v.st.TensSel = 1;
    const char* texts[] = {"0kg", "-7kg", "-14kg"};
    const float maxes[] = {100.0f, 500.0f, 500.0f};
    const float values[] = {0.0f, 500.0f, 300.0f};
    for (int t = 0; t < 3; ++t) {
        v.p.timeStep = t;
        v.draw(ds);
        EXPECT_EQ(v.st.TensionText, texts[t]);
        EXPECT_EQ(v.st.GaugeMax, maxes[t]);
        EXPECT_EQ(v.st.GaugeValue, values[t]);
    }
    // A selection beyond the records shows nothing new but draws the frame.
    v.st.TensSel = 9;
    EXPECT_EQ(v.draw(ds), FrameEnd::Complete);
    EXPECT_EQ(v.st.TensionText, "-14kg");
}

TEST(Frame, ScreenCopyTextTurnsPolylinesBlack) {
    Dataset ds = cables({2});
    Viewer v(ViewMode::Normal);
    v.layout(ds);
    v.canvas.reset();
    screenCopyText(ViewMode::Normal, v.st, v.canvas, 417, 2024);
    const auto texts = v.canvas.opsOf(Kind::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, screenCopyLine(2024));
    EXPECT_TRUE(texts[0].text.contains("2024"));
    EXPECT_EQ(texts[0].args[0], v.st.Window.Left);
    // top + height - height * 300 / P with top 36, height -71, P 417.
    EXPECT_NEAR(texts[0].args[1], 36.0 - 71.0 + 71.0 * 300.0 / 417.0, 1e-4);
    EXPECT_EQ(texts[0].colour, kPalette[0]);
    v.draw(ds);
    EXPECT_EQ(v.canvas.opsOf(Kind::Polyline).at(0).colour, kPalette[0]);

    Viewer r(ViewMode::Real);
    screenCopyText(ViewMode::Real, r.st, r.canvas, 417, 2024);
    EXPECT_TRUE(r.canvas.ops().empty());
}

TEST(Frame, NearPlaneLeavesOutWhatTouchesNodesBehindTheEye) {
    // Straight ahead (angles 0) from 300 m: q = x - 150 + 300, the near plane
    // at 3 m. Node 2 lies on it (behind), node 5 1 m in front of it.
    Dataset ds = blankModel({6});
    const float xs[] = {300, 400, -147, 400, 300, -146, 300};
    for (int n = 0; n <= 6; ++n) setPos(ds, 0, n, xs[n], 1.0f + float(n), 0);
    qrn::test::addBeams(ds, {{0, 1, 0, 2}, {0, 4, 0, 5}});
    Viewer v(ViewMode::Real);
    v.p.azimuth = 0;
    v.layout(ds);
    ASSERT_EQ(v.draw(ds), FrameEnd::Complete);
    EXPECT_EQ(v.st.BehindEye(0, 2), 1);
    EXPECT_EQ(v.st.BehindEye(0, 5), 0);
    const auto lines = v.canvas.opsOf(Kind::Polyline);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].points.size(), 2u);  // nodes 0, 1
    EXPECT_EQ(lines[1].points.size(), 4u);  // nodes 3 .. 6
    // Markers at nodes 2 and 4: only node 4's circle and twist bar; one beam.
    EXPECT_EQ(v.canvas.opsOf(Kind::Circle).size(), 1u);
    const auto segs = v.canvas.opsOf(Kind::Line);
    ASSERT_EQ(segs.size(), 2u);
    EXPECT_EQ(segs[1].colour, kPalette[1]);
    EXPECT_EQ(segs[1].args[0], v.st.ScrX(0, 4));
    // The projected positions stay as they are, behind the eye included.
    EXPECT_EQ(v.st.ScrX(0, 2), v.st.BasePos(0, 2, 0));
    EXPECT_LT(v.st.ScrX(0, 2), 0.0f);  // mirrored through the eye: y is positive
    // The same model seen from 500 m has every node in front: one polyline.
    v.p.perspectiveRatio = 500;
    v.layout(ds);
    EXPECT_EQ(v.draw(ds), FrameEnd::Complete);
    EXPECT_EQ(v.canvas.opsOf(Kind::Polyline).size(), 1u);
}
