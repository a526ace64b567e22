// "全体表示": display size, pan and scale that show the whole model at rest.
#include <gtest/gtest.h>

#include "model.h"
#include "render/fit.h"
#include "render/projection.h"

using namespace qrn;
using namespace qrn::render;

TEST(Fit, NormalViewSizeScaleAndPan) {
    // One flat cable (y -5 .. 5, heights 0 .. 10) straight on (no skew, ratio 1):
    // 100 / scale units a metre, in the initial picture of 100 x 71 units.
    Dataset ds = qrn::test::blankModel({2});
    qrn::test::setPos(ds, 0, 0, 0, -5.0f, 0);
    qrn::test::setPos(ds, 0, 1, 0, 0, 10.0f);
    qrn::test::setPos(ds, 0, 2, 0, 5.0f, 4.0f);
    struct Case {
        double scale;
        int hidden;
        int level;
        double newScale;  // 0: unchanged
        double panY;
    };
    const Case cases[] = {
        // 20 x 20 units: too high for x4 (17.75), fits x2; centre 10, top round(17.75).
        {50, 0, 1, 0, 10 + 17.75 - 18},
        // 200 units high: 1000 / s <= 71 - 12 / 5.817 gives 14.5, the next round scale 15.
        {5, 0, 0, 15, 1000.0 / 15 / 2 + 35.5 - 36},
        // 40 rows under the bottom bar: 1000 / s <= 62.06, scale 20, centred 186.5 rows down.
        {5, 40, 0, 20, 25 + 186.5 * 71 / 413 - 36},
    };
    for (const Case& c : cases) {
        ViewParams p = qrn::test::openedViewer(ViewMode::Normal);
        p.perspectiveRatio = 1.0;
        p.nearScale = c.scale;
        p.azimuth = 0;
        ViewerState st;
        ASSERT_TRUE(computeProjection(ViewMode::Normal, ds, st, p));
        const auto f = fitView(ViewMode::Normal, ds, st, p, {588, 417}, c.hidden);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->zoomLevel, c.level) << c.scale;
        EXPECT_EQ(f->scale.value_or(0), c.newScale) << c.scale;
        EXPECT_EQ(f->panX, 0.0f);
        EXPECT_NEAR(f->panY, c.panY, 1e-4) << c.scale;
        EXPECT_TRUE(f->whole);
    }
    EXPECT_EQ(hiddenPictureRows(layoutGeometry(ViewMode::Normal, {682, 446})), 34);
}

TEST(Fit, RealViewFromInsideTheModelGetsTheWidestCentredView) {
    Dataset ds = qrn::test::lineModel();  // 300 m long, centre 150
    ViewParams p = qrn::test::openedViewer(ViewMode::Real);
    for (const double distance : {100.0, 300.0}) {  // the eye 50 m inside, or 150 m before
        p.perspectiveRatio = distance;
        ViewerState st;
        ASSERT_TRUE(computeProjection(ViewMode::Real, ds, st, p));
        const auto f = fitView(ViewMode::Real, ds, st, p, {584, 416});
        ASSERT_TRUE(f);
        EXPECT_EQ(f->whole, distance > 150);
        if (!f->whole) {
            EXPECT_EQ(f->zoomLevel, 0);
            EXPECT_EQ(f->panX, 0.0f);
            EXPECT_EQ(f->panY, 0.0f);
        }
    }
    EXPECT_FALSE(fitView(ViewMode::Real, Dataset{}, ViewerState{}, p, {584, 416}));
}

TEST(Fit, RealViewStepsBackToARoundDistanceClearOfTheModel) {
    // Azimuth 5°, elevation 0: the nearest node (x 150 m before the centre,
    // y 10) lies D - 150 cos 5° - 10 sin 5° = D - 150.30 ahead, which must be
    // at least D / 2: D >= 300.6, so 300 is too close and 400 the first round
    // distance.
    const Dataset ds = qrn::test::lineModel();
    const std::pair<double, double> cases[] = {{100, 400}, {300, 400}, {350, 400}, {500, 600}};
    for (const auto& [from, to] : cases) {
        ViewParams p = qrn::test::openedViewer(ViewMode::Real);
        p.perspectiveRatio = from;
        ViewerState st;
        ASSERT_TRUE(computeProjection(ViewMode::Real, ds, st, p));
        EXPECT_EQ(viewDistanceClearOfModel(ds, st, p).value_or(0), to) << from;
    }
    ViewParams p = qrn::test::openedViewer(ViewMode::Real);
    EXPECT_FALSE(viewDistanceClearOfModel(Dataset{}, ViewerState{}, p));
    p.perspectiveRatio = -100;  // the eye beyond the centre: left alone
    ViewerState st;
    ASSERT_TRUE(computeProjection(ViewMode::Real, ds, st, p));
    EXPECT_FALSE(viewDistanceClearOfModel(ds, st, p));
}
