// Depth multipliers, real-mode projection and the projected node positions,
// checked against hand-computed values.
#include <gtest/gtest.h>

#include <cmath>

#include "model.h"
#include "render/frame.h"
#include "render/layout.h"
#include "render/projection.h"
#include "render/viewer.h"

using namespace qrn;
using namespace qrn::render;
using qrn::test::blankModel;
using qrn::test::setPos;

namespace {

// One cable of three nodes at depth 0, 150 and 300 m.
Dataset depthModel() {
    Dataset ds = blankModel({2});
    setPos(ds, 0, 0, 0.0f, 0.0f, 10.0f);
    setPos(ds, 0, 1, 150.0f, 0.0f, 10.0f);
    setPos(ds, 0, 2, 300.0f, 0.0f, 10.0f);
    return ds;
}

struct Viewer {
    ViewMode mode;
    ViewerState st;
    ViewParams p;
    RecordingCanvas canvas;
    explicit Viewer(ViewMode m) : mode(m), p(qrn::test::openedViewer(m)) {}
    void layout(Dataset& ds, QSize client = {}) {
        layoutPass(mode, client.isValid() ? client : initialClientSize(mode), ds, st, p, canvas);
    }
};

}  // namespace

TEST(DepthMultipliers, WorkedExampleBothOrders) {
    Dataset ds = depthModel();
    struct Case {
        bool nearLow;
        float expected[3];  // nodes at x = 0, 150, 300
    };
    const Case cases[] = {
        {false, {0.33333f, 0.57735f, 1.0000092f}},
        {true, {1.0000092f, 0.57735f, 0.33333f}},
    };
    for (const auto& k : cases) {
        Viewer v(ViewMode::Normal);
        v.p.nearLow = k.nearLow;
        ASSERT_TRUE(computeNormalProjection(ds, v.st, v.p));
        EXPECT_EQ(v.st.DepthBase, 1.0036688f);
        EXPECT_EQ(v.st.DepthMax, 300.0f);
        EXPECT_EQ(v.st.DepthMin, 0.0f);
        for (int n = 0; n < 3; ++n)
            EXPECT_NEAR(v.st.DepthMul(0, n), k.expected[n], 6e-6)
                << "near-low " << k.nearLow << " node " << n;
    }
    // Not exactly 1: the base was rounded to 32 bits.
    Viewer v(ViewMode::Normal);
    computeNormalProjection(ds, v.st, v.p);
    EXPECT_EQ(v.st.DepthMul(0, 2), 1.0000092f);
    EXPECT_EQ(v.st.MarkerStep, 2);
    EXPECT_EQ(v.st.NearScale, 50.0f);
}

TEST(DepthMultipliers, RatioOneGivesFlatPicture) {
    Dataset ds = depthModel();
    Viewer v(ViewMode::Normal);
    v.p.perspectiveRatio = 1.0;
    computeNormalProjection(ds, v.st, v.p);
    for (int n = 0; n < 3; ++n) EXPECT_EQ(v.st.DepthMul(0, n), 1.0f);
}

TEST(DepthMultipliers, BeamFallbackScansWholeBeamSlot) {
    // Cables end at x <= 0; beam nodes at -50 and 80, and an unused beam-slot
    // entry beyond BeamNodeMax with x = 120 that is scanned all the same.
    Dataset ds = blankModel({3}, 2);
    setPos(ds, 0, 3, -10.0f, 0, 0);
    setPos(ds, 1, 0, -50.0f, 0, 0);
    setPos(ds, 1, 1, 80.0f, 0, 0);
    setPos(ds, 1, 3, 120.0f, 0, 0);
    Viewer v(ViewMode::Normal);
    computeNormalProjection(ds, v.st, v.p);
    EXPECT_EQ(v.st.DepthMax, 120.0f);
    EXPECT_EQ(v.st.DepthMin, -50.0f);
    EXPECT_NEAR(v.st.DepthBase, std::pow(3.0, 1.0 / 170.0), 1e-7);
    EXPECT_NEAR(v.st.DepthMul(1, 1), std::pow(std::pow(3.0, 1.0 / 170.0), 80.0) / 3.0, 1e-5);
}

TEST(DepthMultipliers, FirstNodeLeavesLowerCableNodesAlone) {
    Dataset ds = blankModel({2, 2}, 1);
    setPos(ds, 0, 2, 300.0f, 0, 0);
    setPos(ds, 1, 2, 300.0f, 0, 0);
    setPos(ds, 2, 0, 150.0f, 0, 0);
    ds.FirstNode = 1;
    Viewer v(ViewMode::Normal);
    v.st.DepthMul.create({Bounds{0, 2}, Bounds{0, 2}});
    v.st.DepthMul(0, 0) = 7.0f;  // an earlier value stays
    computeNormalProjection(ds, v.st, v.p);
    EXPECT_EQ(v.st.DepthMul(0, 0), 7.0f);
    EXPECT_EQ(v.st.DepthMul(1, 0), 0.0f);
    EXPECT_GT(v.st.DepthMul(1, 1), 0.0f);
    EXPECT_NEAR(v.st.DepthMul(2, 0), 0.57735f, 6e-6);  // beam node 0 is updated
}

TEST(DepthMultipliers, FlatModelInTheYZPlaneDrawsAtFullSize) {
    // Every depth 0: no depth range and no depth to skew along.
    Dataset ds = blankModel({2}, 1);
    setPos(ds, 0, 0, 0, -10.0f, 5.0f);
    setPos(ds, 0, 1, 0, 0.0f, 10.0f);
    setPos(ds, 0, 2, 0, 10.0f, 5.0f);
    setPos(ds, 1, 0, 0, 0.0f, 20.0f);
    for (bool nearLow : {false, true}) {
        Viewer v(ViewMode::Normal);
        v.p.nearLow = nearLow;
        v.layout(ds);
        EXPECT_EQ(v.st.DepthBase, 1.0f);
        for (int n = 0; n < 3; ++n) EXPECT_EQ(v.st.DepthMul(0, n), 1.0f);
        EXPECT_EQ(v.st.LastFrame, FrameEnd::Complete);
        const float sign = nearLow ? -1.0f : 1.0f;
        EXPECT_FLOAT_EQ(v.st.ScrX(0, 0), sign * -20.0f);  // y * 100 / 50, no skew
        EXPECT_FLOAT_EQ(v.st.ScrY(0, 1), 20.0f);
        EXPECT_FLOAT_EQ(v.st.ScrY(1, 0), 40.0f);
        EXPECT_EQ(v.canvas.opsOf(RecordingCanvas::Kind::Polyline).size(), 1u);
    }
}

TEST(DepthMultipliers, MarkerSpacingBeyond16BitsStopsTheComputation) {
    Dataset ds = depthModel();
    Viewer v(ViewMode::Normal);
    computeNormalProjection(ds, v.st, v.p);
    v.p.perspectiveRatio = 5.0;
    v.p.markerStep = std::nullopt;  // the box beyond 16 bits
    EXPECT_FALSE(computeNormalProjection(ds, v.st, v.p));
    EXPECT_EQ(v.st.PerspRatio, 5.0f);  // read before the failing statement
    EXPECT_EQ(v.st.MarkerStep, 2);
    EXPECT_EQ(v.st.DepthBase, 1.0036688f);  // not recomputed
    v.canvas.reset();
    EXPECT_EQ(recompute(ViewMode::Normal, ds, v.st, v.p, v.canvas), FrameEnd::Stopped);
    EXPECT_TRUE(v.canvas.ops().empty());
}

TEST(NormalProjection, WorkedNode) {
    Dataset ds = depthModel();
    Viewer v(ViewMode::Normal);
    v.layout(ds);
    EXPECT_NEAR(v.st.ScrX(0, 1), -23.0941f, 1e-4);
    EXPECT_NEAR(v.st.ScrY(0, 1), 11.5471f, 1e-4);
}

TEST(NormalProjection, NearLowMirrorsAndSkewsFromTheFarEnd) {
    // Node at x = 300, y = 5, z = 0: unchecked M = 1.0000092, checked M = 1/3.
    Dataset ds = depthModel();
    setPos(ds, 0, 2, 300.0f, 5.0f, 0.0f);
    struct Case {
        bool nearLow;
        int h, v;
        double x, y;
    };
    const double m1 = 1.0000092, m3 = 0.33333333;
    const Case cases[] = {
        {false, 0, 0, 10.0 * m1, 0.0},
        {true, 0, 0, -10.0 * m3, 0.0},
        {false, 10, 5, (10.0 + 20.0) * m1, 10.0 * m1},  // skew H*x/DepthMax = 20, V*x/DepthMax = 10
        {true, 10, 5, (0.0 - 10.0) * m3, 0.0},  // (DepthMax - x) = 0: no skew at the far end
    };
    for (const auto& k : cases) {
        Viewer v(ViewMode::Normal);
        v.p.nearLow = k.nearLow;
        v.p.azimuth = k.h;
        v.p.elevation = k.v;
        v.layout(ds);
        EXPECT_NEAR(v.st.ScrX(0, 2), k.x, 1e-4) << k.nearLow << " " << k.h;
        EXPECT_NEAR(v.st.ScrY(0, 2), k.y, 1e-4) << k.nearLow << " " << k.h;
    }
}

TEST(NormalProjection, SidewaysUsesTheXDisplacement) {
    Dataset ds = depthModel();
    setPos(ds, 0, 2, 300.0f, 5.0f, 0.0f);
    ds.NodeDisp(0, -1, 2, 1) = 1000;  // 1 m along x
    ds.NodeDisp(0, 0, 2, 1) = 3000;   // 3 m along y
    ds.NodeDisp(0, 1, 2, 1) = 500;    // 0.5 m up
    for (bool sideways : {false, true}) {
        Viewer v(ViewMode::Normal);
        v.p.sideways = sideways;
        v.p.azimuth = 0;
        v.p.dispScale = 2.0;
        v.p.timeStep = 1;
        v.layout(ds);
        const double dh = sideways ? 1.0 : 3.0;
        EXPECT_NEAR(v.st.ScrX(0, 2), (dh * 2 + 5.0) * 2 * 1.0000092, 1e-4) << sideways;
        EXPECT_NEAR(v.st.ScrY(0, 2), (0.5 * 2) * 2 * 1.0000092, 1e-4);
    }
}

TEST(RealProjection, NodeAtTheCentre) {
    Dataset ds = blankModel({2});
    setPos(ds, 0, 0, 0, 0, 0);
    setPos(ds, 0, 1, 100.0f, 0, 0);
    setPos(ds, 0, 2, 200.0f, 0, 0);
    Viewer v(ViewMode::Real);
    v.p.azimuth = 0;
    v.p.elevation = 0;
    ASSERT_TRUE(computeRealProjection(ds, v.st, v.p));
    EXPECT_EQ(v.st.CentreX, 100.0f);
    EXPECT_EQ(v.st.BasePos(0, 1, 0), 0.0f);
    EXPECT_EQ(v.st.BasePos(0, 1, 1), 0.0f);
    const float coefX[3] = {0.0f, -2.0f, 0.0f};
    const float coefY[3] = {0.0f, 0.0f, 2.0f};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(v.st.CoefX(0, 1, i), coefX[i]) << i;
        EXPECT_FLOAT_EQ(v.st.CoefY(0, 1, i), coefY[i]) << i;
    }
}

TEST(RealProjection, WorkedAnglesTenAndFive) {
    // Centre x = 100 (cable end at 200), centre z = 0 (z from -5 to 5).
    Dataset ds = blankModel({2});
    setPos(ds, 0, 0, 0, 0, -5.0f);
    setPos(ds, 0, 1, 110.0f, 2.0f, 5.0f);
    setPos(ds, 0, 2, 200.0f, 0, 0);
    Viewer v(ViewMode::Real);
    v.p.elevation = 10;
    v.p.azimuth = 5;
    ASSERT_TRUE(computeRealProjection(ds, v.st, v.p));
    const double cb = std::cos(5 * kPiApprox / 180);
    EXPECT_NEAR(-v.st.CoefX(0, 1, 1) / cb, 1.86650, 1e-5);  // k
    struct Value {
        double got, want, tol;
    };
    const Value values[] = {
        {v.st.BasePos(0, 1, 0), -5.34555, 1e-5}, {v.st.BasePos(0, 1, 1), 6.01840, 1e-5},
        {v.st.CoefX(0, 1, 0), -0.162676, 1e-6},  {v.st.CoefX(0, 1, 1), -1.85940, 1e-5},
        {v.st.CoefX(0, 1, 2), 0.00320765, 1e-8}, {v.st.CoefY(0, 1, 0), -0.322881, 1e-6},
        {v.st.CoefY(0, 1, 1), 0.0282484, 1e-7},  {v.st.CoefY(0, 1, 2), 1.83814, 1e-5},
    };
    for (std::size_t i = 0; i < std::size(values); ++i)
        EXPECT_NEAR(values[i].got, values[i].want, values[i].tol) << "value " << i;
}

TEST(RealProjection, NodesBelowFirstNodeStayAtTheOrigin) {
    Dataset ds = blankModel({2}, 1);
    setPos(ds, 0, 0, 10.0f, 3.0f, 4.0f);
    setPos(ds, 0, 2, 200.0f, 0, 0);
    setPos(ds, 1, 0, 10.0f, 3.0f, 4.0f);
    ds.NodeDisp(0, 0, 0, 1) = 5000;
    ds.NodeDisp(1, 0, 0, 1) = 5000;
    Viewer v(ViewMode::Real);
    v.p.firstNode = 1;
    v.p.timeStep = 1;
    v.layout(ds);
    EXPECT_EQ(ds.FirstNode, 1);
    EXPECT_EQ(v.st.ScrX(0, 0), 0.0f);
    EXPECT_EQ(v.st.ScrY(0, 0), 0.0f);
    EXPECT_NE(v.st.ScrX(1, 0), 0.0f);  // beam nodes start at 0 whatever FirstNode says
}

TEST(RealProjection, XExtentResetsButZExtentAccumulates) {
    Dataset tall = blankModel({1});
    setPos(tall, 0, 1, 100.0f, 0, 40.0f);
    Dataset low = blankModel({1});
    setPos(low, 0, 1, 50.0f, 0, 10.0f);
    Viewer v(ViewMode::Real);
    computeRealProjection(tall, v.st, v.p);
    computeRealProjection(low, v.st, v.p);
    EXPECT_EQ(v.st.XMax, 50.0f);
    EXPECT_EQ(v.st.ZMax, 40.0f);
    EXPECT_EQ(v.st.CentreZ, 20.0f);
    EXPECT_EQ(v.st.CentreX, 25.0f);
}

TEST(RealProjection, ZeroDisplacementLandsOnTheBasePosition) {
    Dataset ds = qrn::test::lineModel();
    Viewer v(ViewMode::Real);
    v.p.dispScale = 7.0;
    v.layout(ds);  // time step 0 has no displacement
    for (int n = 0; n <= 20; ++n) {
        EXPECT_EQ(v.st.ScrX(1, n), v.st.BasePos(1, n, 0));
        EXPECT_EQ(v.st.ScrY(1, n), v.st.BasePos(1, n, 1));
    }
}

TEST(RealProjection, NodeOnTheEyePlaneDrawsTheRest) {
    // a = b = 0, D = 300: q = X + 300, so the node 300 m before the centre has q = 0.
    Dataset ds = blankModel({2, 1});
    setPos(ds, 0, 0, 0, 1.0f, 0);
    setPos(ds, 0, 1, 300.0f, 1.0f, 0);
    setPos(ds, 0, 2, 600.0f, 2.0f, 0);
    setPos(ds, 1, 0, 300.0f, 0, 0);
    setPos(ds, 1, 1, 600.0f, 0, 0);
    Viewer v(ViewMode::Real);
    v.p.azimuth = 0;
    v.layout(ds);
    EXPECT_FALSE(std::isfinite(v.st.BasePos(0, 0, 0)));
    EXPECT_EQ(v.st.BehindEye(0, 0), 1);
    EXPECT_EQ(v.st.LastFrame, FrameEnd::Complete);
    const auto lines = v.canvas.opsOf(RecordingCanvas::Kind::Polyline);
    ASSERT_EQ(lines.size(), 2u);
    // The segment to the node on the eye plane is left out, the rest drawn.
    ASSERT_EQ(lines[0].points.size(), 2u);
    // Node 1 at the centre, 1 m aside: (-2 + 50) x 5.8 and (0 - 36) x -5.803.
    EXPECT_EQ(lines[0].points[0], (PixelPoint{278, 209}));
    EXPECT_EQ(lines[1].points.size(), 2u);
}

TEST(NormalProjection, UndrawableNodeEndsTheFrameKeepingEarlierCables) {
    Dataset ds = blankModel({1, 1, 1});
    for (int s = 0; s < 3; ++s) setPos(ds, s, 1, 100.0f, float(s), 0);
    ds.NodePos(1, 1, 1) = INFINITY;
    Viewer v(ViewMode::Normal);
    v.layout(ds);
    EXPECT_EQ(v.st.LastFrame, FrameEnd::Stopped);
    EXPECT_EQ(v.canvas.opsOf(RecordingCanvas::Kind::Polyline).size(), 1u);
    // Real mode skips the point and draws the other cables; the node at
    // infinity is not in front of the eye, so its cable has no segment left.
    Viewer r(ViewMode::Real);
    r.layout(ds);
    EXPECT_FALSE(std::isfinite(r.st.ScrX(1, 1)) && std::isfinite(r.st.ScrY(1, 1)));
    EXPECT_EQ(r.st.BehindEye(1, 1), 1);
    EXPECT_EQ(r.st.LastFrame, FrameEnd::Complete);
    EXPECT_EQ(r.canvas.opsOf(RecordingCanvas::Kind::Polyline).size(), 2u);
}

TEST(Frames, NoGeometryDrawsNothing) {
    Dataset empty;
    for (ViewMode mode : {ViewMode::Normal, ViewMode::Real}) {
        Viewer v(mode);
        v.layout(empty);
        EXPECT_EQ(v.st.LastFrame, FrameEnd::NoData);
        EXPECT_TRUE(v.st.ScrX.empty());
        EXPECT_TRUE(v.canvas.opsOf(RecordingCanvas::Kind::Polyline).empty());
        EXPECT_TRUE(v.canvas.opsOf(RecordingCanvas::Kind::Clear).empty());
    }
    // A time step beyond the history: nothing drawn either.
    Dataset ds = blankModel({2});
    Viewer v(ViewMode::Normal);
    v.p.timeStep = 50;
    v.layout(ds);
    EXPECT_EQ(v.st.LastFrame, FrameEnd::NoData);
}
