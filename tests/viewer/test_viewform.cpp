// The viewer's form model: initial values, what a change of each control
// does (corrections included), the view parameters it gives and the form's
// part of the window activation.
#include <gtest/gtest.h>

#include <functional>

#include "../render/model.h"
#include "render/canvas.h"
#include "viewer/viewform.h"

using namespace qrn;
using namespace qrn::render;
using namespace qrn::viewer;
using qrn::test::blankModel;

TEST(ViewForm, InitialValuesPerMode) {
    const ViewForm n = ViewForm::initial(ViewMode::Normal);
    const ViewForm r = ViewForm::initial(ViewMode::Real);
    EXPECT_EQ(n.perspectiveRatio, "3");
    EXPECT_EQ(r.perspectiveRatio, "300");
    for (const auto* f : {&n, &r}) {
        EXPECT_EQ(f->nearScale, "50");
        EXPECT_EQ(f->markerStep, "2");
        EXPECT_EQ(f->twistScale, "1");
        EXPECT_EQ(f->lineWidth, "1");
        EXPECT_EQ(f->drawStep, "1");
        EXPECT_EQ(f->wait, "0");
        EXPECT_EQ(f->dispScale, "1");
        EXPECT_EQ(f->zoomLevel, 0);
        EXPECT_EQ(f->markerSize, 1);
        EXPECT_EQ(f->firstNode, "0");
        EXPECT_EQ(f->lastNode, "1");
    }
    EXPECT_EQ(n.azimuth, -40);
    EXPECT_EQ(n.elevation, 0);
    EXPECT_EQ(r.azimuth, 5);
    EXPECT_EQ(r.elevation, 0);
    EXPECT_EQ(elevationScroll(ViewMode::Normal).min, 50);  // top end
    EXPECT_EQ(clampToScroll(elevationScroll(ViewMode::Normal), 70), 50);
    EXPECT_EQ(clampToScroll(azimuthScroll(ViewMode::Real), -200), -180);
}

TEST(ViewForm, ValidationTable) {
    struct Case {
        const char* what;
        ViewMode mode;
        ViewControl control;
        std::function<void(ViewForm&)> edit;
        std::vector<Effect> effects;
        std::function<bool(const ViewForm&, const ViewerState&)> check;
    };
    using C = ViewForm;
    using S = ViewerState;
    const ViewMode N = ViewMode::Normal, R = ViewMode::Real;
    const std::vector<Case> cases = {
        {"first box 0 becomes 2",
         N,
         ViewControl::PerspectiveRatio,
         [](C& c) { c.perspectiveRatio = "0"; },
         {Effect::Recompute},
         [](const C& c, const S&) { return c.perspectiveRatio == "2"; }},
        {"first box text becomes 2",
         R,
         ViewControl::MarkerStep,
         [](C& c) { c.perspectiveRatio = "abc"; },
         {Effect::Recompute},
         [](const C& c, const S&) { return c.perspectiveRatio == "2"; }},
        {"second box 0 becomes 5",
         N,
         ViewControl::NearScale,
         [](C& c) { c.nearScale = " 0.0"; },
         {Effect::Recompute},
         [](const C& c, const S&) { return c.nearScale == "5"; }},
        {"both zero: 2 then 5",
         N,
         ViewControl::MarkerStep,
         [](C& c) {
             c.perspectiveRatio = "0";
             c.nearScale = "x";
         },
         {Effect::Recompute},
         [](const C& c, const S&) { return c.perspectiveRatio == "2" && c.nearScale == "5"; }},
        {"near-low like first box",
         N,
         ViewControl::NearLow,
         [](C& c) { c.nearLow = true; },
         {Effect::Recompute},
         nullptr},
        {"no near-low in real mode",
         R,
         ViewControl::NearLow,
         [](C& c) { c.nearLow = true; },
         {},
         nullptr},
        {"sideways set",
         N,
         ViewControl::Sideways,
         [](C& c) { c.sideways = true; },
         {Effect::Recompute, Effect::Redraw},
         [](const C& c, const S&) {
             return c.perspectiveRatio == "1" && c.twistScale == "0" &&
                    !c.perspectiveRatioEnabled && !c.twistScaleEnabled;
         }},
        {"sideways cleared, normal",
         N,
         ViewControl::Sideways,
         [](C& c) {
             c.perspectiveRatio = "1";
             c.twistScale = "0";
             c.perspectiveRatioEnabled = c.twistScaleEnabled = false;
         },
         {Effect::Recompute, Effect::Redraw},
         [](const C& c, const S&) {
             return c.perspectiveRatio == "3" && c.twistScale == "1" && c.perspectiveRatioEnabled &&
                    c.twistScaleEnabled;
         }},
        {"sideways cleared, real",
         R,
         ViewControl::Sideways,
         [](C& c) { c.perspectiveRatio = "1"; },
         {Effect::Recompute},
         [](const C& c, const S&) { return c.perspectiveRatio == "300"; }},
        {"line width 0 becomes 1",
         N,
         ViewControl::LineWidth,
         [](C& c) { c.lineWidth = "0"; },
         {Effect::LineWidthRedraw},
         [](const C& c, const S&) { return c.lineWidth == "1"; }},
        {"line width 3",
         N,
         ViewControl::LineWidth,
         [](C& c) { c.lineWidth = "3"; },
         {Effect::LineWidthRedraw},
         nullptr},
        {"step below 1 becomes 1",
         N,
         ViewControl::DrawStep,
         [](C& c) { c.drawStep = "0.6"; },
         {Effect::StepInc},
         [](const C& c, const S& s) { return c.drawStep == "1" && s.StepInc == 1; }},
        {"step 2.5 rounds to 2",
         R,
         ViewControl::DrawStep,
         [](C& c) { c.drawStep = "2.5"; },
         {Effect::StepInc},
         [](const C&, const S& s) { return s.StepInc == 2; }},
        {"step beyond 16 bits keeps StepInc",
         R,
         ViewControl::DrawStep,
         [](C& c) { c.drawStep = "1e6"; },
         {},
         [](const C&, const S& s) { return s.StepInc == 7; }},
        {"negative magnification becomes 0",
         N,
         ViewControl::DispScale,
         [](C& c) { c.dispScale = "-2"; },
         {},
         [](const C& c, const S&) { return c.dispScale == "0"; }},
        {"node range waits for a layout pass",
         N,
         ViewControl::LastNode,
         [](C& c) { c.lastNode = "9"; },
         {},
         nullptr},
        {"display size",
         N,
         ViewControl::ZoomLevel,
         [](C& c) { c.zoomLevel = 2; },
         {Effect::Layout},
         nullptr},
        {"marker size", R, ViewControl::MarkerSize, nullptr, {Effect::Redraw}, nullptr},
        {"twist scale", R, ViewControl::TwistScale, nullptr, {Effect::Redraw}, nullptr},
        {"viewpoint", R, ViewControl::Elevation, nullptr, {Effect::Viewpoint}, nullptr},
        {"time", N, ViewControl::TimeStep, nullptr, {Effect::Time}, nullptr},
        {"wait", N, ViewControl::Wait, nullptr, {Effect::Wait}, nullptr},
        {"trace", N, ViewControl::Trace, nullptr, {}, nullptr},
    };
    for (const auto& k : cases) {
        ViewForm f = ViewForm::initial(k.mode);
        ViewerState st;
        st.StepInc = 7;
        if (k.edit) k.edit(f);
        EXPECT_EQ(settleChange(k.mode, k.control, f, st), k.effects) << k.what;
        if (k.check) {
            EXPECT_TRUE(k.check(f, st)) << k.what;
        }
    }
}

TEST(ViewForm, CorrectionIsItsOwnChange) {
    // One step of the handler: the corrected box is reported, nothing recomputed yet.
    ViewForm f = ViewForm::initial(ViewMode::Normal);
    ViewerState st;
    f.perspectiveRatio = "0";
    const ChangeOutcome out = onControlChange(ViewMode::Normal, ViewControl::NearScale, f, st);
    EXPECT_EQ(out.effect, Effect::None);
    EXPECT_EQ(out.rewritten, std::vector<ViewControl>{ViewControl::PerspectiveRatio});
    EXPECT_EQ(f.perspectiveRatio, "2");
}

TEST(ViewForm, ActivationTensionRecordsAndBoxes) {
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
        ViewForm f = ViewForm::initial(ViewMode::Real);
        f.firstNode = "5";
        f.lastNode = "6";
        f.timeStep = 9;
        f.drawStep = "3";
        ViewerState st;
        st.TensSel = k.tensSel;
        RecordingCanvas cv;
        ViewParams p;
        const Activation a = activateView(ViewMode::Real, {678, 445}, ds, st, f, p, cv);
        EXPECT_EQ(a.timeBarMax, 4);
        EXPECT_EQ(f.timeStep, 4);
        EXPECT_EQ(p.timeStep, 4);
        EXPECT_EQ(f.firstNode, "0");
        EXPECT_EQ(f.lastNode, "7");
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

TEST(ViewForm, ParamsReadEachBoxOnce) {
    // Leading numbers; 16-bit values rounded half to even and empty beyond.
    ViewForm f = ViewForm::initial(ViewMode::Normal);
    f.perspectiveRatio = "2bc";
    f.nearScale = " 0.25";
    f.markerStep = "40000";
    f.twistScale = "2.5";
    f.lineWidth = "abc";
    f.dispScale = "-1.5e1";
    f.firstNode = "4.5";
    f.lastNode = "-32768.4";
    f.nearLow = true;
    f.timeStep = 7;
    const ViewParams p = f.params();
    EXPECT_EQ(p.perspectiveRatio, 2.0);
    EXPECT_EQ(p.nearScale, 0.25);
    EXPECT_EQ(p.markerStep, std::nullopt);
    EXPECT_EQ(p.twistScale, std::optional<std::int16_t>(2));
    EXPECT_EQ(p.lineWidth, std::optional<std::int16_t>(0));
    EXPECT_EQ(p.dispScale, -15.0);
    EXPECT_EQ(p.firstNode, std::optional<std::int16_t>(4));
    EXPECT_EQ(p.lastNode, std::optional<std::int16_t>(-32768));
    EXPECT_TRUE(p.nearLow);
    EXPECT_EQ(p.azimuth, -40);
    // Moving the time bar changes the time step alone; any other change reads the form.
    ViewParams kept = p;
    f.timeStep = 8;
    f.markerStep = "3";
    updateParams(kept, f, ViewControl::TimeStep);
    EXPECT_EQ(kept.timeStep, 8);
    EXPECT_EQ(kept.markerStep, std::nullopt);
    updateParams(kept, f, ViewControl::MarkerStep);
    EXPECT_EQ(kept.markerStep, std::optional<std::int16_t>(3));
}
