// The QImage canvas and whole frames compared with small PNG baselines.
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <memory>

#include "model.h"
#include "render/raster/imagecanvas.h"
#include "render/viewer.h"
#include "viewer/framejob.h"

using namespace qrn;
using namespace qrn::render;
using qrn::viewer::FrameOptions;
using qrn::viewer::FrameResult;
using qrn::viewer::renderFrame;

namespace {

// Text needs a GUI application (offscreen platform in the tests).
class GuiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_raster";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QGuiApplication> app_;
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

int countColour(const QImage& img, QRgb colour) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) ++n;
    return n;
}

// Compares with tests/data/render/NAME.png: every channel within `channelTol`
// on all but `maxBadPixels` pixels. On a mismatch the actual image is written
// next to the build. QRN_UPDATE_GOLDEN=1 rewrites the baseline instead.
void expectMatchesGolden(const QImage& actual, const QString& name, int channelTol = 8,
                         int maxBadPixels = 40) {
    const QString golden = QStringLiteral(QRN_TEST_DATA "/render/") + name + ".png";
    if (qEnvironmentVariableIntValue("QRN_UPDATE_GOLDEN") == 1) {
        ASSERT_TRUE(actual.save(golden));
        return;
    }
    const QString outPath = QStringLiteral(QRN_BIN_DIR "/render-actual-") + name + ".png";
    const QImage want(golden);
    ASSERT_FALSE(want.isNull()) << "missing baseline " << golden.toStdString();
    if (want.size() != actual.size()) {
        actual.save(outPath);
        FAIL() << name.toStdString() << ": size differs; actual written to "
               << outPath.toStdString();
    }
    int bad = 0;
    for (int y = 0; y < want.height(); ++y) {
        for (int x = 0; x < want.width(); ++x) {
            const QRgb a = actual.pixel(x, y), b = want.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) > channelTol ||
                std::abs(qGreen(a) - qGreen(b)) > channelTol ||
                std::abs(qBlue(a) - qBlue(b)) > channelTol)
                ++bad;
        }
    }
    if (bad > maxBadPixels) {
        actual.save(outPath);
        ADD_FAILURE() << name.toStdString() << ": " << bad << " pixels differ; actual written to "
                      << outPath.toStdString();
    }
}

}  // namespace

TEST(ImageCanvas, ClearAndDefaults) {
    ImageCanvas cv(QSize(40, 30));
    EXPECT_EQ(cv.image().size(), QSize(40, 30));
    EXPECT_EQ(countColour(cv.image(), ImageCanvas::kBackground), 40 * 30);
    cv.setScaleWindow({0, 0, 40, -30});
    const PixelPoint pts[] = {{5, 5}, {30, 5}, {30, 20}};
    cv.polyline(pts, 3);
    const QImage img = cv.image();
    EXPECT_EQ(img.pixel(10, 5) & 0xffffff, ImageCanvas::kForeground & 0xffffff);
    EXPECT_EQ(img.pixel(30, 12) & 0xffffff, ImageCanvas::kForeground & 0xffffff);
    EXPECT_EQ(img.pixel(10, 12) & 0xffffff, ImageCanvas::kBackground & 0xffffff);
    cv.clear();
    EXPECT_EQ(countColour(cv.image(), ImageCanvas::kBackground), 40 * 30);
}

TEST(ImageCanvas, DrawingUnitsMapOntoPixels) {
    ImageCanvas cv(QSize(100, 50));
    cv.setScaleWindow({-10, 5, 20, -10});  // 5 pixels per unit, y up
    const Rgb red{255, 0, 0};
    cv.line(-10, 0, 10, 0, red);  // across the middle row
    cv.circle(0, 0, 2, kPalette[1]);
    const QImage img = cv.image();
    EXPECT_EQ(img.pixel(3, 25), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(96, 25), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(50, 15), qRgb(0, 0, 128));      // top of the circle, radius 10 px
    EXPECT_EQ(img.pixel(50, 20), qRgb(255, 255, 255));  // hollow
    EXPECT_EQ(cv.scaleOrigin().left, -10.0f);
}

TEST(ImageCanvas, FarAndOddCoordinatesAreSafe) {
    ImageCanvas cv(QSize(60, 40));
    cv.setScaleWindow({0, 0, 60, -40});
    cv.line(-1e30f, -20, 1e30f, -20, kPalette[4]);  // row 20, clipped to the picture
    cv.line(NAN, 0, 5, 5, kPalette[4]);
    cv.circle(INFINITY, 0, 1, kPalette[4]);
    cv.circle(10, -10, 1e9f, kPalette[4]);
    const PixelPoint far[] = {{-2000000000, 10}, {2000000000, 10}, {30, -5}};
    cv.polyline(far, 3);
    cv.setLineWidth(100000);
    EXPECT_EQ(cv.lineWidth(), ImageCanvas::kMaxLineWidth);
    cv.setLineWidth(-3);
    EXPECT_EQ(cv.lineWidth(), 1);
    const QImage img = cv.image();
    EXPECT_EQ(img.pixel(1, 20), qRgb(128, 0, 0));
    EXPECT_EQ(img.pixel(58, 20), qRgb(128, 0, 0));
    EXPECT_EQ(img.pixel(5, 20), qRgb(128, 0, 0));
    EXPECT_EQ(img.pixel(0, 10), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(59, 10), qRgb(0, 0, 0));
}

TEST(ImageCanvas, HandedOutImagesStayAsTheyWere) {
    // The GIF export keeps every frame's image while the next one is drawn.
    ImageCanvas cv(QSize(30, 20));
    cv.setScaleWindow({0, 0, 30, -20});
    cv.line(0, -10, 29, -10, kPalette[4]);
    const QImage first = cv.image();
    cv.clear();
    cv.line(15, 0, 15, -19, kPalette[2]);
    cv.setLineWidth(3);
    cv.line(0, -3, 29, -3, kPalette[1]);
    EXPECT_EQ(first.pixel(5, 10), qRgb(128, 0, 0));
    EXPECT_EQ(first.pixel(15, 5), qRgb(255, 255, 255));
    const QImage second = cv.image();
    EXPECT_EQ(second.pixel(5, 10), qRgb(255, 255, 255));
    EXPECT_EQ(second.pixel(15, 10), qRgb(0, 128, 0));
    // The wide pen covers three rows.
    EXPECT_EQ(second.pixel(5, 2), qRgb(0, 0, 128));
    EXPECT_EQ(second.pixel(5, 3), qRgb(0, 0, 128));
    EXPECT_EQ(second.pixel(5, 4), qRgb(0, 0, 128));
    EXPECT_EQ(second.pixel(5, 6), qRgb(255, 255, 255));
}

TEST(ImageCanvas, WidePenKeepsItsColourAfterTheImageWasHandedOut) {
    // The viewer's repaint and the GIF capture take the image between frames;
    // the next wide line in the same colour must not come out in the default pen.
    ImageCanvas cv(QSize(30, 20));
    cv.setScaleWindow({0, 0, 30, -20});
    cv.setLineWidth(3);
    cv.line(0, -5, 29, -5, kPalette[1]);
    EXPECT_EQ(cv.image().pixel(5, 5), qRgb(0, 0, 128));
    cv.line(0, -14, 29, -14, kPalette[1]);
    const QImage img = cv.image();
    EXPECT_EQ(img.pixel(5, 13), qRgb(0, 0, 128));
    EXPECT_EQ(img.pixel(5, 14), qRgb(0, 0, 128));
    EXPECT_EQ(img.pixel(5, 15), qRgb(0, 0, 128));
}

TEST(ImageCanvas, ResizeKeepsContentAndText) {
    ImageCanvas cv(QSize(20, 20));
    cv.setScaleWindow({0, 0, 20, -20});
    cv.line(0, -5, 19, -5, kPalette[2]);
    cv.resize(QSize(40, 30));
    EXPECT_EQ(cv.image().pixel(10, 5), qRgb(0, 128, 0));
    EXPECT_EQ(cv.image().pixel(30, 25), qRgb(255, 255, 255));
    // Text in black; the foreground stays black for polylines.
    ImageCanvas t(QSize(200, 40));
    t.setScaleWindow({0, 0, 200, -40});
    t.text(2, -2, kPalette[0], QStringLiteral("(C)2024 画像"));
    EXPECT_GT(countColour(t.image(), 0xff000000), 10);
}

namespace {

struct GoldenCase {
    const char* name;
    FrameOptions options;
};

std::vector<GoldenCase> goldenCases() {
    std::vector<GoldenCase> out;
    FrameOptions normal;
    normal.mode = ViewMode::Normal;
    normal.window = QSize(300, 200);
    normal.timeStep = 1;
    normal.nearScale = "400";
    normal.markerSize = 5;
    out.push_back({"normal_t1", normal});

    FrameOptions nearLow = normal;
    nearLow.nearLow = true;
    nearLow.zoomLevel = 1;
    nearLow.lineWidth = "2";
    nearLow.twistScale = "5";
    nearLow.azimuth = 10;
    nearLow.elevation = 20;
    out.push_back({"normal_nearlow_zoom", nearLow});

    FrameOptions real;
    real.window = QSize(300, 200);
    real.timeStep = 2;
    real.nearScale = "500";
    real.elevation = 20;
    real.azimuth = 30;
    real.markerSize = 5;
    real.dispScale = "3";
    out.push_back({"real_t2", real});

    FrameOptions trace = real;
    trace.trace = true;
    trace.pan = std::make_pair(40.0, -20.0);
    trace.markerStep = "0";
    out.push_back({"real_trace_pan", trace});
    return out;
}

}  // namespace

TEST(FrameJob, GoldenFrames) {
    for (const auto& k : goldenCases()) {
        Dataset ds = qrn::test::lineModel();
        const FrameResult r = renderFrame(ds, k.options);
        EXPECT_EQ(r.end, FrameEnd::Complete) << k.name;
        EXPECT_EQ(r.image.size(), QSize(202, 167)) << k.name;
        expectMatchesGolden(r.image, QString::fromLatin1(k.name));
    }
}

TEST(FrameJob, OptionsAndPoints) {
    Dataset ds = qrn::test::lineModel(2, 4);
    FrameOptions o;
    o.mode = ViewMode::Normal;
    o.sideways = true;
    o.perspectiveRatio = "0";  // corrected to "2", as typed into the box
    o.nodeRange = std::make_pair(QStringLiteral("1"), QStringLiteral("3"));
    o.timeStep = 99;  // beyond the data: the time bar stops at its maximum
    o.wantPoints = true;
    o.zoomLevel = 9;
    const FrameResult r = renderFrame(ds, o);
    EXPECT_EQ(ds.FirstNode, 1);
    EXPECT_EQ(ds.LastNode, 3);
    EXPECT_EQ(r.image.size(), QSize(588 - 4, 417 - 4));
    const QList<QByteArray> lines = r.points.split('\n');
    ASSERT_EQ(lines.size(), 2 * 5 + 2 + 1);  // two cables, two beam nodes, final newline
    // Below FirstNode a node keeps the multiplier of the activation's pass
    // (ratio 3); the others use the first box as typed after "横向": "0"
    // corrected to "2", so the far end is at 2^(300/300) / 2, just below 1.
    EXPECT_EQ(lines[0], "0,0,100,-6.666667,20");
    EXPECT_EQ(lines[4], "0,4,104,-99.99926,59.99956");
    EXPECT_TRUE(lines[10].startsWith("2,0,300,"));
    EXPECT_TRUE(lines[12].isEmpty());
}

TEST(FrameJob, EmptyDatasetGivesABlankPicture) {
    Dataset ds;
    FrameOptions o;
    o.wantPoints = true;
    const FrameResult r = renderFrame(ds, o);
    EXPECT_EQ(r.end, FrameEnd::NoData);
    EXPECT_EQ(r.image.size(), QSize(580, 412));
    EXPECT_EQ(countColour(r.image, ImageCanvas::kBackground), 580 * 412);
    EXPECT_TRUE(r.points.isEmpty());
}
