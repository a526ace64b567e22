// Node picking and navigation rules without a window.

#include <gtest/gtest.h>

#include "../render/model.h"
#include "viewer/navigation.h"
#include "viewer/playback.h"

using qrn::Bounds;
using qrn::Dataset;
using qrn::render::ViewerState;
using namespace qrn::viewer;

namespace {

// Projected positions as a frame would leave them: every node far away
// unless placed.
ViewerState frameOf(const Dataset& ds, float pixelsPerUnit = 5.0f) {
    ViewerState st;
    st.PixPerUnitX = pixelsPerUnit;
    st.PixPerUnitY = -pixelsPerUnit;
    st.ScrX.create({Bounds{0, ds.CableMax + 1}, Bounds{0, ds.NodeMax}});
    st.ScrY.create({Bounds{0, ds.CableMax + 1}, Bounds{0, ds.NodeMax}});
    for (std::int64_t s = 0; s <= ds.CableMax + 1; ++s)
        for (std::int64_t n = 0; n <= ds.NodeMax; ++n) {
            st.ScrX(s, n) = 1000.0f + float(s);
            st.ScrY(s, n) = 1000.0f + float(n);
        }
    return st;
}

void place(ViewerState& st, int s, int n, float x, float y) {
    st.ScrX(s, n) = x;
    st.ScrY(s, n) = y;
}

// Node 12 at slot 0, index 2, with the values of the documented example.
Dataset exampleModel() {
    Dataset ds = qrn::test::blankModel({3}, 0, 4, 1);
    ds.NodeTbl(0, 2) = 12;
    ds.invalidateNodeIndex();
    const int t = 3;
    ds.NodeDisp(0, -1, 2, t) = 15;
    ds.NodeDisp(0, 0, 2, t) = -3;
    ds.NodeDisp(0, 1, 2, t) = 120;
    ds.NodeDisp(0, 2, 2, t) = 30;
    ds.NodeTwist0(0, 2) = 10.5f;  // 40.5 thousandths of a radian: 2.32 degrees
    qrn::test::setPos(ds, 0, 2, 10.5f, 0.0f, 20.0f);
    ds.BeamRecCount = 2;
    ds.BeamRecInfo.create({Bounds{0, 1}, Bounds{0, 1}});
    ds.BeamHist.create({Bounds{0, 5}, Bounds{0, 1}});
    ds.BeamRecInfo(0, 0) = 99;  // another node's record
    ds.BeamRecInfo(1, 0) = 3;
    ds.BeamHist(t, 0) = 777;
    ds.BeamRecInfo(0, 1) = 12;
    ds.BeamRecInfo(1, 1) = 1;
    ds.BeamHist(t, 1) = 350;
    return ds;
}

}  // namespace

TEST(Picking, NearestWithinSixPixels) {
    const Dataset ds = qrn::test::blankModel({4, 4}, 3);
    struct Case {
        float ppu;  // pixels per drawing unit (y grows upward)
        double x, y;
        std::optional<NodeRef> want;
    };
    // Node (0, 1) at (5, -3); at 5 pixels a unit 6 pixels are 1.2 units, at 40 0.15.
    // Nodes (1, 0) and beam (2, 0) at (2, 2) tie: the cable slot comes first.
    const Case cases[] = {
        {5, 6.19, -3.0, NodeRef{0, 1}},
        {5, 5.84, -2.16, NodeRef{0, 1}},
        {5, 5.86, -2.14, {}},
        {40, 5.0, -2.849, {}},
        {40, 5.149, -3.0, NodeRef{0, 1}},
        {5, 2.1, 2.0, NodeRef{1, 0}},
        {5, 2.0, 2.25, NodeRef{0, 2}},
        {5, 2.4, 2.0, NodeRef{0, 3}},
    };
    for (const Case& c : cases) {
        ViewerState st = frameOf(ds, c.ppu);
        place(st, 0, 1, 5.0f, -3.0f);
        place(st, 1, 0, 2.0f, 2.0f);
        place(st, 2, 0, 2.0f, 2.0f);
        place(st, 0, 2, 2.0f, 2.3f);
        place(st, 0, 3, 2.5f, 2.0f);
        EXPECT_EQ(findNode(ds, st, c.x, c.y), c.want) << c.ppu << " " << c.x << " " << c.y;
    }
}

TEST(Picking, NodeBehindTheEyeIsNotPicked) {
    const Dataset ds = qrn::test::blankModel({2});
    ViewerState st = frameOf(ds);
    place(st, 0, 1, 1.0f, 1.0f);
    place(st, 0, 2, 1.5f, 1.0f);
    st.BehindEye.create({Bounds{0, 1}, Bounds{0, 2}});
    EXPECT_EQ(findNode(ds, st, 1.0, 1.0), (NodeRef{0, 1}));
    EXPECT_EQ(nodePixel(st, {0, 1}), QPointF(5.0, -5.0));
    st.BehindEye(0, 1) = 1;
    EXPECT_EQ(findNode(ds, st, 1.0, 1.0), (NodeRef{0, 2}));
    EXPECT_FALSE(nodePixel(st, {0, 1}));
}

TEST(Picking, SearchSkipsPositionsOfAnotherDataset) {
    Dataset ds = qrn::test::blankModel({2});
    ViewerState st = frameOf(ds);
    place(st, 0, 2, 1.0f, 1.0f);
    ds = qrn::test::blankModel({6, 6});  // a new read, not yet drawn
    EXPECT_FALSE(findNode(ds, st, 500.0, 500.0));
    EXPECT_EQ(findNode(ds, st, 1.0, 1.0), (NodeRef{0, 2}));
}

TEST(NodeInfo, DocumentedExample) {
    const Dataset ds = exampleModel();
    EXPECT_EQ(nodeInfoText(ds, {0, 2}, 3),
              QStringLiteral("ノードNo.12 (移動量 x=15,y=-3,z=120,θ=2 : 基準座標位 "
                             "x=10.5,y=0,z=20),Beam1=350"));
}

TEST(NodeInfo, TwoBeamRecordsInRecordOrder) {
    Dataset ds = exampleModel();
    ds.BeamRecInfo(0, 0) = 12;
    EXPECT_TRUE(nodeInfoText(ds, {0, 2}, 3).endsWith(QStringLiteral("),Beam3=777,Beam1=350")));
}

TEST(NodeInfo, TwistFloorsAndReferenceIsShortest) {
    Dataset ds = exampleModel();
    struct Case {
        std::int32_t disp;
        float twist0;
        const char* theta;
    };
    // Degrees = floor(sum / 1000 * 180 / 3.1416).
    const Case cases[] = {{-1, 0.0f, "θ=-1"},    {0, 0.0f, "θ=0"},        {1, 0.0f, "θ=0"},
                          {3142, 0.0f, "θ=180"}, {-3141, 0.0f, "θ=-180"}, {3141, 0.0f, "θ=179"},
                          {0, -17.5f, "θ=-2"}};
    for (const Case& c : cases) {
        ds.NodeDisp(0, 2, 2, 3) = c.disp;
        ds.NodeTwist0(0, 2) = c.twist0;
        EXPECT_TRUE(nodeInfoText(ds, {0, 2}, 3).contains(QString::fromUtf8(c.theta) + " : "))
            << c.disp << " " << nodeInfoText(ds, {0, 2}, 3).toStdString();
    }
    qrn::test::setPos(ds, 0, 2, 0.1f, -1234.567f, 1.0e-5f);
    EXPECT_TRUE(nodeInfoText(ds, {0, 2}, 3).contains(QStringLiteral("x=0.1,y=-1234.567,z=1E-05)")));
}

TEST(NodeInfo, PositionWithoutNodeNumber) {
    Dataset ds = exampleModel();
    ds.BeamRecInfo(0, 0) = 0;  // a record that an empty number must not match
    // The node table's entry for (0, 2) now names another slot.
    ds.NodeTbl(1, 2) = 5;
    ds.invalidateNodeIndex();
    const QString text = nodeInfoText(ds, {0, 2}, 3);
    EXPECT_TRUE(text.startsWith(QStringLiteral("ノードNo. (移動量 x=15,")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("z=20)")));
}

TEST(Drag, NormalPanStaysWithinFifty) {
    ViewerState st;
    st.DownXY[0] = 10.0f;
    st.DownXY[1] = 0.0f;
    // h = 45 with DownXY.x - x = 10 would give 55: the bar stays.
    ViewpointPan p = panViewpoint(st, 0.0, -3.0, 45, 0);
    EXPECT_FALSE(p.h);
    EXPECT_EQ(p.v, 3);
    p = panViewpoint(st, 4.5, 0.0, -40, -50);
    EXPECT_EQ(p.h, -34);  // round(-34.5) to even
    EXPECT_EQ(p.v, -50);
    p = panViewpoint(st, 0.0, 0.0, 40, 0);
    EXPECT_EQ(p.h, 50);  // exactly the limit is allowed
    p = panViewpoint(st, 10.0, 50.5, 0, 0);
    EXPECT_FALSE(p.v);
}

TEST(Drag, RealTurnWrapsAndReverses) {
    ViewerState st;
    st.DownXY[0] = 0.0f;
    st.DownXY[1] = 0.0f;
    st.DownScroll[0] = 170.0f;
    st.DownScroll[1] = 0.0f;
    // 10 units to the right: 170 + 20 wraps round to -170.
    ViewAngles a = turnView(st, 10.0, 0.0, 0);
    EXPECT_EQ(a.h, -170);
    EXPECT_EQ(a.v, 0);
    // Turned over (vertical 120): the same drag turns the other way.
    a = turnView(st, 10.0, 0.0, 120);
    EXPECT_EQ(a.h, 150);
    a = turnView(st, 10.0, 0.0, -91);
    EXPECT_EQ(a.h, 150);
    a = turnView(st, 10.0, 0.0, 90);
    EXPECT_EQ(a.h, -170);
    // Upward drag of 5 units: the vertical angle goes up by 10.
    a = turnView(st, 0.0, 5.0, 0);
    EXPECT_EQ(a.v, 10);
    EXPECT_EQ(a.h, 170);
}

TEST(Drag, LongRealDragsStayInRange) {
    ViewerState st;
    st.DownScroll[0] = -150.0f;
    st.DownScroll[1] = 150.0f;
    for (double d : {-1000.0, -400.0, -181.0, 181.0, 400.0, 1e6}) {
        const ViewAngles a = turnView(st, d, d, 0);
        EXPECT_GE(a.h, -180) << d;
        EXPECT_LE(a.h, 180) << d;
        EXPECT_GE(a.v, -180) << d;
        EXPECT_LE(a.v, 180) << d;
    }
    // 400 units to the left from -150: -150 - 800 + 540 = -410, which a
    // truncating remainder would leave at -230; wrapped, it is 130.
    EXPECT_EQ(turnView(st, -400.0, 0.0, 0).h, 130);
}

TEST(Drag, RightDragKeepsTheGrabbedPoint) {
    ViewerState st;
    st.ViewLeft = -90;
    st.ViewTop = 36;
    st.PanX = 1.0f;
    st.Window.Left = -89.0f;
    st.Window.Top = 36.0f;
    st.DownXY[0] = 10.0f;
    st.DownXY[1] = 5.0f;
    moveCentre(st, 12.0, 4.0);
    EXPECT_FLOAT_EQ(st.PanX, -1.0f);
    EXPECT_FLOAT_EQ(st.PanY, 1.0f);
    EXPECT_FLOAT_EQ(st.Window.Left, -91.0f);
    EXPECT_FLOAT_EQ(st.Window.Top, 37.0f);
}

TEST(Pan, DirectionButtonsAndLimits) {
    auto fresh = [] {
        ViewerState st;
        st.Zoom = 2.0f;
        st.ViewWidth = 100;
        st.ViewHeight = -70;
        st.ViewLeft = -25;
        st.ViewTop = 18;
        st.Window = {-25.0f, 18.0f, 50.0f, -35.0f};
        return st;
    };
    struct Case {
        int k;
        float dx, dy;
    };
    // One unit (2 / Zoom) per tick; top row up, bottom row down, right column
    // (0, 3, 6) right, left column (2, 5, 8) left, 4 nothing.
    const Case cases[] = {{0, 1, 1},  {1, 0, 1},  {2, -1, 1}, {3, 1, 0},  {4, 0, 0},
                          {5, -1, 0}, {6, 1, -1}, {7, 0, -1}, {8, -1, -1}};
    for (const Case& c : cases) {
        ViewerState st = fresh();
        panStep(st, c.k);
        EXPECT_FLOAT_EQ(st.PanX, c.dx) << c.k;
        EXPECT_FLOAT_EQ(st.PanY, c.dy) << c.k;
        EXPECT_FLOAT_EQ(st.Window.Left, -25.0f + c.dx) << c.k;
        EXPECT_FLOAT_EQ(st.Window.Top, 18.0f + c.dy) << c.k;
    }
    // Limits are tested before a step: up stops once PanY is above 50.
    ViewerState st = fresh();
    st.PanY = 50.0f;
    panStep(st, 1);
    EXPECT_FLOAT_EQ(st.PanY, 51.0f);
    panStep(st, 1);
    EXPECT_FLOAT_EQ(st.PanY, 51.0f);
    // Down while PanY >= ViewHeight - h - 50 = -70 + 35 - 50 = -85.
    st.PanY = -85.0f;
    panStep(st, 7);
    EXPECT_FLOAT_EQ(st.PanY, -86.0f);
    panStep(st, 7);
    EXPECT_FLOAT_EQ(st.PanY, -86.0f);
    // Right while PanX <= ViewWidth - w + 50 = 100.
    st.PanX = 100.0f;
    panStep(st, 3);
    EXPECT_FLOAT_EQ(st.PanX, 101.0f);
    panStep(st, 3);
    EXPECT_FLOAT_EQ(st.PanX, 101.0f);
    // Left while the left edge >= ViewLeft - 50 = -75.
    st.PanX = -50.0f;
    st.Window.Left = -75.0f;
    panStep(st, 5);
    EXPECT_FLOAT_EQ(st.Window.Left, -76.0f);
    panStep(st, 5);
    EXPECT_FLOAT_EQ(st.Window.Left, -76.0f);
}

TEST(Playback, PacedToTheScreenRefresh) {
    struct Case {
        double since, hz, want;
    };
    // 400 steps at 60 Hz take 400 x 16.7 ms, about 7 s.
    const Case cases[] = {
        {0, 60, 1000.0 / 60},       {10, 60, 1000.0 / 60 - 10}, {20, 60, 0},
        {3, 144, 1000.0 / 144 - 3}, {0, 0, 1000.0 / 60},        {-5, 60, 1000.0 / 60},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(framePacingDelayMs(c.since, c.hz), c.want, 1e-9) << c.since << " " << c.hz;
}
