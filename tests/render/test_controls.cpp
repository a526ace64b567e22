// Control values and their validation, the layout pass's numbers, the
// activation steps and the bottom bar's texts.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "model.h"
#include "render/controls.h"
#include "render/layout.h"
#include "render/viewer.h"

using namespace qrn;
using namespace qrn::render;
using qrn::test::blankModel;

TEST(Controls, InitialValuesPerMode) {
    const ControlValues n = ControlValues::initial(ViewMode::Normal);
    const ControlValues r = ControlValues::initial(ViewMode::Real);
    EXPECT_EQ(n.Text1[0], "3");
    EXPECT_EQ(r.Text1[0], "300");
    for (const auto* c : {&n, &r}) {
        EXPECT_EQ(c->Text1[1], "50");
        EXPECT_EQ(c->Text1[2], "2");
        EXPECT_EQ(c->Text2, "1");
        EXPECT_EQ(c->Text4, "1");
        EXPECT_EQ(c->Text5, "1");
        EXPECT_EQ(c->Text6, "0");
        EXPECT_EQ(c->Text7, "1");
        EXPECT_EQ(c->Slider1, 0);
        EXPECT_EQ(c->Slider2, 1);
        EXPECT_EQ(c->Text3[0], "0");
        EXPECT_EQ(c->Text3[1], "1");
    }
    EXPECT_EQ(n.HScroll2, -40);
    EXPECT_EQ(n.VScroll1, 0);
    EXPECT_EQ(r.HScroll2, 5);
    EXPECT_EQ(r.VScroll1, 0);
    EXPECT_EQ(vScroll1Spec(ViewMode::Normal).min, 50);  // top end
    EXPECT_EQ(clampToScroll(vScroll1Spec(ViewMode::Normal), 70), 50);
    EXPECT_EQ(clampToScroll(hScroll2Spec(ViewMode::Real), -200), -180);
}

TEST(Controls, ValidationTable) {
    struct Case {
        const char* what;
        ViewMode mode;
        Control control;
        std::function<void(ControlValues&)> edit;
        std::vector<Effect> effects;
        std::function<bool(const ControlValues&, const ViewerState&)> check;
    };
    using C = ControlValues;
    using S = ViewerState;
    const ViewMode N = ViewMode::Normal, R = ViewMode::Real;
    const std::vector<Case> cases = {
        {"first box 0 becomes 2",
         N,
         Control::Text1_0,
         [](C& c) { c.Text1[0] = "0"; },
         {Effect::Recompute},
         [](const C& c, const S&) { return c.Text1[0] == "2"; }},
        {"first box text becomes 2",
         R,
         Control::Text1_2,
         [](C& c) { c.Text1[0] = "abc"; },
         {Effect::Recompute},
         [](const C& c, const S&) { return c.Text1[0] == "2"; }},
        {"second box 0 becomes 5",
         N,
         Control::Text1_1,
         [](C& c) { c.Text1[1] = " 0.0"; },
         {Effect::Recompute},
         [](const C& c, const S&) { return c.Text1[1] == "5"; }},
        {"both zero: 2 then 5",
         N,
         Control::Text1_2,
         [](C& c) {
             c.Text1[0] = "0";
             c.Text1[1] = "x";
         },
         {Effect::Recompute},
         [](const C& c, const S&) { return c.Text1[0] == "2" && c.Text1[1] == "5"; }},
        {"near-low like first box",
         N,
         Control::Check3,
         [](C& c) { c.Check3 = 1; },
         {Effect::Recompute},
         nullptr},
        {"no near-low in real mode", R, Control::Check3, [](C& c) { c.Check3 = 1; }, {}, nullptr},
        {"sideways set",
         N,
         Control::Check1,
         [](C& c) { c.Check1 = true; },
         {Effect::Recompute, Effect::Redraw},
         [](const C& c, const S&) {
             return c.Text1[0] == "1" && c.Text2 == "0" && !c.Text1Enabled0 && !c.Text2Enabled;
         }},
        {"sideways cleared, normal",
         N,
         Control::Check1,
         [](C& c) {
             c.Text1[0] = "1";
             c.Text2 = "0";
             c.Text1Enabled0 = c.Text2Enabled = false;
         },
         {Effect::Recompute, Effect::Redraw},
         [](const C& c, const S&) {
             return c.Text1[0] == "3" && c.Text2 == "1" && c.Text1Enabled0 && c.Text2Enabled;
         }},
        {"sideways cleared, real",
         R,
         Control::Check1,
         [](C& c) { c.Text1[0] = "1"; },
         {Effect::Recompute},
         [](const C& c, const S&) { return c.Text1[0] == "300"; }},
        {"line width 0 becomes 1",
         N,
         Control::Text4,
         [](C& c) { c.Text4 = "0"; },
         {Effect::LineWidthRedraw},
         [](const C& c, const S&) { return c.Text4 == "1"; }},
        {"line width 3",
         N,
         Control::Text4,
         [](C& c) { c.Text4 = "3"; },
         {Effect::LineWidthRedraw},
         nullptr},
        {"step below 1 becomes 1",
         N,
         Control::Text5,
         [](C& c) { c.Text5 = "0.6"; },
         {Effect::StepInc},
         [](const C& c, const S& s) { return c.Text5 == "1" && s.StepInc == 1; }},
        {"step 2.5 rounds to 2",
         R,
         Control::Text5,
         [](C& c) { c.Text5 = "2.5"; },
         {Effect::StepInc},
         [](const C&, const S& s) { return s.StepInc == 2; }},
        {"step beyond 16 bits keeps StepInc",
         R,
         Control::Text5,
         [](C& c) { c.Text5 = "1e6"; },
         {},
         [](const C&, const S& s) { return s.StepInc == 7; }},
        {"negative magnification becomes 0",
         N,
         Control::Text7,
         [](C& c) { c.Text7 = "-2"; },
         {},
         [](const C& c, const S&) { return c.Text7 == "0"; }},
        {"node range waits for a layout pass",
         N,
         Control::Text3_1,
         [](C& c) { c.Text3[1] = "9"; },
         {},
         nullptr},
        {"display size",
         N,
         Control::Slider1,
         [](C& c) { c.Slider1 = 2; },
         {Effect::Layout},
         nullptr},
        {"marker size", R, Control::Slider2, nullptr, {Effect::Redraw}, nullptr},
        {"twist scale", R, Control::Text2, nullptr, {Effect::Redraw}, nullptr},
        {"viewpoint", R, Control::VScroll1, nullptr, {Effect::Viewpoint}, nullptr},
        {"time", N, Control::HScroll1, nullptr, {Effect::Time}, nullptr},
        {"wait", N, Control::Text6, nullptr, {Effect::Wait}, nullptr},
        {"trace", N, Control::Check2, nullptr, {}, nullptr},
    };
    for (const auto& k : cases) {
        ControlValues c = ControlValues::initial(k.mode);
        ViewerState st;
        st.StepInc = 7;
        if (k.edit) k.edit(c);
        if (k.control == Control::Check1 && !k.edit) c.Check1 = true;
        EXPECT_EQ(settleChange(k.mode, k.control, c, st), k.effects) << k.what;
        if (k.check) {
            EXPECT_TRUE(k.check(c, st)) << k.what;
        }
    }
}

TEST(Controls, CorrectionIsItsOwnChange) {
    // One step of the handler: the corrected box is reported, nothing recomputed yet.
    ControlValues c = ControlValues::initial(ViewMode::Normal);
    ViewerState st;
    c.Text1[0] = "0";
    const ChangeOutcome out = onControlChange(ViewMode::Normal, Control::Text1_1, c, st);
    EXPECT_EQ(out.effect, Effect::None);
    EXPECT_EQ(out.rewritten, std::vector<Control>{Control::Text1_0});
    EXPECT_EQ(c.Text1[0], "2");
}

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
        ControlValues c = ControlValues::initial(k.mode);
        c.Slider1 = k.slider;
        c.HScroll2 = k.h;
        c.VScroll1 = k.v;
        ViewerState st;
        st.PanX = 0.5f;
        st.PanY = -2.0f;
        const LayoutGeometry g = layoutGeometry(k.mode, initialClientSize(k.mode));
        EXPECT_EQ(g.picture, k.picture);
        EXPECT_EQ(g.canvas, k.picture.size() - QSize(4, 4));
        layoutNumbers(k.mode, g.picture.size(), c, st);
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
    ControlValues c = ControlValues::initial(ViewMode::Real);
    ViewerState st;
    layoutNumbers(ViewMode::Real, tiny.picture.size(), c, st);
    EXPECT_TRUE(std::isfinite(st.PixPerUnitX) && std::isfinite(st.PixPerUnitY));
    // A picture far taller than wide saturates the height instead of failing.
    layoutNumbers(ViewMode::Normal, {5, 30000}, c, st);
    EXPECT_EQ(st.ViewHeight, -32768);
    layoutNumbers(ViewMode::Normal, {30000, 5}, c, st);
    EXPECT_EQ(st.ViewHeight, -1);
}

TEST(Layout, NodeRangeTakesEffectAtTheNextPass) {
    Dataset ds = blankModel({5});
    ControlValues c = ControlValues::initial(ViewMode::Normal);
    ViewerState st;
    RecordingCanvas cv;
    c.Text3 = {"2", "4.5"};
    layoutPass(ViewMode::Normal, {682, 446}, ds, st, c, cv);
    EXPECT_EQ(ds.FirstNode, 2);
    EXPECT_EQ(ds.LastNode, 4);
    c.Text3 = {"99999", "1"};
    layoutPass(ViewMode::Normal, {682, 446}, ds, st, c, cv);
    EXPECT_EQ(ds.FirstNode, 2);  // beyond 16 bits: kept
    EXPECT_EQ(ds.LastNode, 1);
    EXPECT_EQ(cv.opsOf(RecordingCanvas::Kind::Resize).size(), 2u);
}

TEST(Activation, TensionRecordsAndBoxes) {
    struct Case {
        int records;
        int tensSel;
        bool buttons;
        int tensSelAfter;
        const char* label;
    };
    const Case cases[] = {
        {1, 0, false, 0, "ﾉｰﾄﾞNo.1000"},
        {1, 4, false, 0, "ﾉｰﾄﾞNo.1000"},  // left from a larger dataset
        {3, 5, true, 2, "ﾉｰﾄﾞNo.1002"},
        {3, 1, true, 1, "ﾉｰﾄﾞNo.1001"},
    };
    for (const auto& k : cases) {
        Dataset ds = blankModel({7, 3}, 0, 4, k.records);
        ds.TensionHist(4, 0) = 321;
        ControlValues c = ControlValues::initial(ViewMode::Real);
        c.Text3 = {"5", "6"};
        c.HScroll1 = 9;
        c.Text5 = "3";
        ViewerState st;
        st.TensSel = k.tensSel;
        RecordingCanvas cv;
        const Activation a = activateViewer(ViewMode::Real, {678, 445}, ds, st, c, cv);
        EXPECT_EQ(a.timeBarMax, 4);
        EXPECT_EQ(c.HScroll1, 4);
        EXPECT_EQ(c.Text3[0], "0");
        EXPECT_EQ(c.Text3[1], "7");
        EXPECT_EQ(ds.LastNode, 7);
        EXPECT_EQ(st.GaugeMax, 321.0f);
        EXPECT_EQ(st.StepInc, 3);
        EXPECT_EQ(a.nodeButtonsVisible, k.buttons);
        EXPECT_EQ(st.TensSel, k.tensSelAfter);
        EXPECT_EQ(a.nodeLabel, QString::fromUtf8(k.label));
        EXPECT_EQ(a.geometry.picture.size(), QSize(584, 416));
        EXPECT_EQ(st.LastFrame, FrameEnd::Complete);
    }
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
    ControlValues c = ControlValues::initial(ViewMode::Normal);
    c.HScroll2 = 0;
    ViewerState st;
    RecordingCanvas cv;
    layoutPass(ViewMode::Normal, {682, 446}, ds, st, c, cv);
    // Multipliers 1/3 at x = 0, 1.0000092 at x = 300.
    EXPECT_EQ(projectedPointsText(ds, st),
              QByteArray("0,0,100,0,0\n0,1,101,1.000009,0\n1,0,,0,4.666667\n"));
}
