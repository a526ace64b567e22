// "全体表示": display size, pan and scale that show the whole model at rest.
#include <gtest/gtest.h>

#include "model.h"
#include "render/fit.h"
#include "render/viewer.h"

using namespace qrn;
using namespace qrn::render;
using qrn::test::blankModel;
using qrn::test::setPos;

namespace {

// One flat cable (depth 0) from y -5 to 5 at heights 0 .. 10: drawn
// straight on (no skew, ratio 1) at 100 / scale units a metre.
Dataset flatModel() {
    Dataset ds = blankModel({2});
    setPos(ds, 0, 0, 0, -5.0f, 0);
    setPos(ds, 0, 1, 0, 0, 10.0f);
    setPos(ds, 0, 2, 0, 5.0f, 4.0f);
    return ds;
}

ViewParams flatView(double scale) {
    ViewParams p = qrn::test::openedViewer(ViewMode::Normal);
    p.perspectiveRatio = 1.0;
    p.nearScale = scale;
    p.azimuth = 0;
    return p;
}

const QSize kPicture{588, 417};  // the normal viewer's initial picture: 100 x 71 units

}  // namespace

TEST(Fit, LargestDisplaySizeThatHoldsTheModel) {
    Dataset ds = flatModel();
    ViewerState st;
    const ViewParams p = flatView(50);
    ASSERT_TRUE(computeProjection(ViewMode::Normal, ds, st, p));
    // 20 x 20 units: at x4 the window is 25 x 17.75, at x2 50 x 35.5.
    const auto f = fitView(ViewMode::Normal, ds, st, p, kPicture);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->zoomLevel, 1);
    EXPECT_FALSE(f->scale);
    EXPECT_TRUE(f->whole);
    // Centre (0, 10): left round(-25) + 0, top round(17.75) = 18 + 9.75.
    EXPECT_FLOAT_EQ(f->panX, 0.0f);
    EXPECT_FLOAT_EQ(f->panY, 9.75f);
}

TEST(Fit, ScaleGrowsWhenTheSmallestSizeIsNotEnough) {
    Dataset ds = flatModel();
    ViewerState st;
    const ViewParams p = flatView(5);
    ASSERT_TRUE(computeProjection(ViewMode::Normal, ds, st, p));
    // 1000 / s units high must fit 71 - 12 / 5.817 = 68.94: s >= 14.5, next round 15.
    const auto f = fitView(ViewMode::Normal, ds, st, p, kPicture);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->zoomLevel, 0);
    ASSERT_TRUE(f->scale);
    EXPECT_DOUBLE_EQ(*f->scale, 15.0);
    EXPECT_NEAR(f->panY, 1000.0 / 15 / 2 + 71.0 / 2 - 36, 1e-4);  // centre 33.3, top 36
}

TEST(Fit, RealViewFromInsideTheModelGetsTheWidestCentredView) {
    Dataset ds = qrn::test::lineModel();  // 300 m long, centre 150
    ViewerState st;
    ViewParams p = qrn::test::openedViewer(ViewMode::Real);
    p.perspectiveRatio = 100;  // the eye 50 m inside the model
    ASSERT_TRUE(computeProjection(ViewMode::Real, ds, st, p));
    const auto f = fitView(ViewMode::Real, ds, st, p, {584, 416});
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->whole);
    EXPECT_EQ(f->zoomLevel, 0);
    EXPECT_EQ(f->panX, 0.0f);
    EXPECT_EQ(f->panY, 0.0f);
    // From 300 m every node is in front and the fit is whole.
    p.perspectiveRatio = 300;
    ASSERT_TRUE(computeProjection(ViewMode::Real, ds, st, p));
    const auto g = fitView(ViewMode::Real, ds, st, p, {584, 416});
    ASSERT_TRUE(g);
    EXPECT_TRUE(g->whole);
    EXPECT_FALSE(fitView(ViewMode::Real, Dataset{}, st, p, {584, 416}));
}
