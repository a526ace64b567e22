// The layout pass's numbers, the node range, the bottom bar's texts and the
// projected-point list.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "model.h"
#include "render/layout.h"
#include "render/viewer.h"

using namespace qrn;
using namespace qrn::render;
using qrn::test::blankModel;

TEST(Layout, DefaultWindows) {
    struct Case {
        ViewMode mode;
        int slider, h, v;
        QRect picture;
        int viewHeight, viewLeft, viewTop;
        float width, ppuX, ppuY;
    };
    const Case cases[] = {
        {ViewMode::Normal,
         0,
         -40,
         0,
         {20, 20, 588, 417},
         -71,
         -90,
         36,
         100.0f,
         5.84f,
         413.0f / -71.0f},
        {ViewMode::Real, 0, 5, 0, {20, 20, 584, 416}, -71, -50, 36, 100.0f, 5.80f, 412.0f / -71.0f},
        // Zoom 8: 12.5 units wide, centred on the viewpoint.
        {ViewMode::Normal,
         3,
         -40,
         0,
         {20, 20, 588, 417},
         -71,
         -46,
         4,
         12.5f,
         584.0f / 12.5f,
         413.0f / -8.875f},
        {ViewMode::Normal,
         3,
         10,
         -20,
         {20, 20, 588, 417},
         -71,
         4,
         -16,
         12.5f,
         584.0f / 12.5f,
         413.0f / -8.875f},
        {ViewMode::Real,
         3,
         90,
         45,
         {20, 20, 584, 416},
         -71,
         -6,
         4,
         12.5f,
         580.0f / 12.5f,
         412.0f / -8.875f},
    };
    for (const auto& k : cases) {
        ViewParams p = qrn::test::openedViewer(k.mode);
        p.zoomLevel = k.slider;
        p.azimuth = k.h;
        p.elevation = k.v;
        ViewerState st;
        st.PanX = 0.5f;
        st.PanY = -2.0f;
        const LayoutGeometry g = layoutGeometry(k.mode, initialClientSize(k.mode));
        EXPECT_EQ(g.picture, k.picture);
        EXPECT_EQ(g.canvas, k.picture.size() - QSize(4, 4));
        layoutNumbers(k.mode, g.picture.size(), p, st);
        EXPECT_EQ(st.Zoom, float(1 << k.slider));
        EXPECT_EQ(st.ViewWidth, 100);
        EXPECT_EQ(st.ViewHeight, k.viewHeight);
        EXPECT_EQ(st.ViewLeft, k.viewLeft);
        EXPECT_EQ(st.ViewTop, k.viewTop);
        EXPECT_EQ(st.Window.Width, k.width);
        EXPECT_EQ(st.Window.Height, float(k.viewHeight) / float(1 << k.slider));
        EXPECT_EQ(st.Window.Left, float(k.viewLeft) + 0.5f);
        EXPECT_EQ(st.Window.Top, float(k.viewTop) - 2.0f);
        EXPECT_FLOAT_EQ(st.PixPerUnitX, k.ppuX);
        EXPECT_FLOAT_EQ(st.PixPerUnitY, k.ppuY);
    }
}

TEST(Layout, PanelsTitleAndTinyWindows) {
    const LayoutGeometry g = layoutGeometry(ViewMode::Normal, {682, 446});
    EXPECT_EQ(g.paramPanelLeft, 612);
    EXPECT_EQ(g.bottomBarTop, 401);
    EXPECT_EQ(g.sizePanelLeft, 616);
    EXPECT_EQ(g.sizePanelTop, 337);
    EXPECT_EQ(g.title, modeTitle(ViewMode::Normal) + QString(55, ' ') + kTitleByLine);
    EXPECT_EQ(modeTitle(ViewMode::Real), "画像シミュレーション画面(リアルモード)");
    const std::pair<int, int> gaps[] = {{0, 0},      {324, 0},    {325, 0},    {332, 1},
                                        {1000, 104}, {1624, 200}, {1625, 200}, {4000, 200}};
    for (auto [w, n] : gaps) EXPECT_EQ(titleGap(w), n) << w;
    // Below 95 x 30 the picture keeps a 1 x 1 drawable area.
    const LayoutGeometry tiny = layoutGeometry(ViewMode::Real, {40, 10});
    EXPECT_EQ(tiny.canvas, QSize(1, 1));
    const ViewParams p = qrn::test::openedViewer(ViewMode::Real);
    ViewerState st;
    layoutNumbers(ViewMode::Real, tiny.picture.size(), p, st);
    EXPECT_TRUE(std::isfinite(st.PixPerUnitX) && std::isfinite(st.PixPerUnitY));
    // A picture far taller than wide saturates the height instead of failing.
    layoutNumbers(ViewMode::Normal, {5, 30000}, p, st);
    EXPECT_EQ(st.ViewHeight, -32768);
    layoutNumbers(ViewMode::Normal, {30000, 5}, p, st);
    EXPECT_EQ(st.ViewHeight, -1);
}

TEST(Layout, NodeRangeTakesEffectAtTheNextPass) {
    Dataset ds = blankModel({5});
    ViewParams p = qrn::test::openedViewer(ViewMode::Normal);
    ViewerState st;
    RecordingCanvas cv;
    p.firstNode = 2;
    p.lastNode = 4;
    layoutPass(ViewMode::Normal, {682, 446}, ds, st, p, cv);
    EXPECT_EQ(ds.FirstNode, 2);
    EXPECT_EQ(ds.LastNode, 4);
    p.firstNode = std::nullopt;  // the box beyond 16 bits
    p.lastNode = 1;
    layoutPass(ViewMode::Normal, {682, 446}, ds, st, p, cv);
    EXPECT_EQ(ds.FirstNode, 2);  // beyond 16 bits: kept
    EXPECT_EQ(ds.LastNode, 1);
    EXPECT_EQ(cv.opsOf(RecordingCanvas::Kind::Resize).size(), 2u);
}

TEST(BottomBar, TimeAndNodeChange) {
    EXPECT_EQ(timeDisplayText(0.05, 3), "0.15");
    EXPECT_EQ(timeDisplayText(0.05, 0), "0.00");
    EXPECT_EQ(timeDisplayText(0.1, 12345), "1234.50");
    Dataset ds = blankModel({1}, 0, 1, 3);
    ds.TensionHist(1, 2) = 77;
    ViewerState st;
    const NodeChange prev = changeTensionNode(ds, st, 0, 1);
    EXPECT_EQ(st.TensSel, 2);
    EXPECT_EQ(prev.nodeLabel, "ﾉｰﾄﾞNo.1002");
    EXPECT_EQ(prev.tensionText, "77kg");
    changeTensionNode(ds, st, 1, 1);
    EXPECT_EQ(st.TensSel, 0);
    changeTensionNode(ds, st, 1, 1);
    EXPECT_EQ(st.TensSel, 1);
}

TEST(Points, OneLinePerProjectedNode) {
    Dataset ds = blankModel({1}, 1);
    qrn::test::setPos(ds, 0, 1, 300.0f, 0.5f, 0);
    qrn::test::setPos(ds, 1, 0, 0, 0, 7.0f);
    ds.NodeTblMax = 1;  // the beam node has no node-table entry now
    ds.invalidateNodeIndex();
    ViewParams p = qrn::test::openedViewer(ViewMode::Normal);
    p.azimuth = 0;
    ViewerState st;
    RecordingCanvas cv;
    layoutPass(ViewMode::Normal, {682, 446}, ds, st, p, cv);
    // Multipliers 1/3 at x = 0, 1.0000092 at x = 300.
    EXPECT_EQ(projectedPointsText(ds, st),
              QByteArray("0,0,100,0,0\n0,1,101,1.000009,0\n1,0,,0,4.666667\n"));
}
