// The dialog's rules: image count, delay, the end text at opening, and the
// checks that keep an export finite and inside the time axis.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "animation/gifexport.h"
#include "animation/gifwriter.h"
#include "animation/palette.h"
#include "dataset/error.h"

using namespace qrn::gif;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct CountCase {
    double start, end, every;
    std::optional<std::int64_t> count;
};

TEST(GifRules, ImageCountIsTheWholeIntervalsPlusOne) {
    const CountCase cases[] = {
        {0, 5, 0.1, 51},       // the dialog's initial boxes
        {0, 19.95, 0.1, 200},  // the last image at 19.9 s, not at 19.0 s
        {0, 5.9, 1, 6},        // 5.9 intervals: the 0.9 s are dropped
        {0.7, 5.9, 1, 6},      // 5.2 intervals
        {0, 0.5, 0.1, 6},      // 0 .. 0.5 s: six images
        {0, 0.3, 0.1, 4},      // 0.3 / 0.1 is 2.9999999999999996 in doubles
        {0, 5, 2, 3},          // 2.5 intervals
        {1, 10, 0.5, 19},
        {0, 5, 0.3, 17},  // 16.67 intervals
        {3, 2, 0.1, -9},  // end before start: floor(-10 + 1e-9) + 1
        {0, 5, 0, std::nullopt},
        {0, 5, -0.1, std::nullopt},
        {0, kInf, 1, std::nullopt},
        {0, 1e30, 1e-30, std::nullopt},  // beyond 64 bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " " << c.end << " " << c.every);
        EXPECT_EQ(imageCount(c.start, c.end, c.every), c.count);
    }
}

TEST(GifRules, CountLabelText) {
    struct Case {
        const char* start;
        const char* end;
        const char* every;
        const char* label;
    };
    const Case cases[] = {
        {"0", "5", "0.1", "51"},      {"0", "5.9", "1", "6"}, {"abc", "5", "1", "6"},
        {"0", "5", "0", "0"},         {"0", "5", "", "0"},    {"4", "2", "0.1", "0"},
        {" 1.5s", "10", "0.5", "18"},
    };
    for (const auto& c : cases) {
        ExportTexts t;
        t.start = QString::fromUtf8(c.start);
        t.end = QString::fromUtf8(c.end);
        t.every = QString::fromUtf8(c.every);
        EXPECT_EQ(imageCountText(t), QString::fromUtf8(c.label))
            << c.start << " " << c.end << " " << c.every;
    }
    EXPECT_EQ(imageCountText(ExportTexts{}), QStringLiteral("51"));
}

TEST(GifRules, DelayIsHundredthsOfIntervalOverSpeedAtLeastOne) {
    struct Case {
        double every, speed;
        std::optional<int> delay;
    };
    const Case cases[] = {
        {0.1, 10, 1},  // the dialog's initial boxes: 1/100 s, not 0
        {2, 1, 200},
        {1, 2, 50},
        {3, 2, 150},
        {0.6, 1, 60},
        {1, 8, 12},     // 12.5 ties to even
        {0.001, 1, 1},  // 0.1 rounds to 0, held at 1
        {655, 1, 65500},
        {655.36, 1, std::nullopt},  // 65536 does not fit 16 bits
        {1, 0, std::nullopt},
        {1, -1, std::nullopt},
        {1, 1e-320, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(delayValue(c.every, c.speed), c.delay) << c.every << " / " << c.speed;
}

TEST(GifRules, FrameRateIsSpeedOverIntervalAsAFraction) {
    struct Case {
        double every, speed;
        std::optional<FrameRate> rate;
    };
    const Case cases[] = {
        {0.05, 1, FrameRate{20, 1}},   {0.1, 2, FrameRate{20, 1}}, {0.1, 10, FrameRate{100, 1}},
        {0.03, 1, FrameRate{100, 3}},  {2, 1, FrameRate{1, 2}},    {0.07, 1.5, FrameRate{150, 7}},
        {1, 0, std::nullopt},          {1e-12, 1e6, std::nullopt},  // 1e18 per second
        {1e300, 1e-300, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(frameRate(c.every, c.speed), c.rate) << c.every << " / " << c.speed;
}

TEST(GifRules, OpeningEndTextIsTheDataEnd) {
    EXPECT_EQ(openingEndText(QStringLiteral("0.05"), 100), QStringLiteral("5"));
    EXPECT_EQ(openingEndText(QStringLiteral("0.1"), 3), QStringLiteral("0.3"));
    EXPECT_EQ(openingEndText(QStringLiteral(" 0.02 "), 0), QStringLiteral("0"));
    EXPECT_EQ(openingEndText(QStringLiteral("0.05s"), 100), std::nullopt);
    EXPECT_EQ(openingEndText(QString(), 100), std::nullopt);
}

ExportRequest request(const char* start, const char* end, const char* every, const char* speed,
                      const char* interval = "0.05", int stepMax = 100) {
    ExportRequest r;
    r.texts.start = QString::fromUtf8(start);
    r.texts.end = QString::fromUtf8(end);
    r.texts.every = QString::fromUtf8(every);
    r.texts.speed = QString::fromUtf8(speed);
    r.path = QStringLiteral("out.gif");
    r.intervalText = QString::fromUtf8(interval);
    r.stepMax = stepMax;
    return r;
}

std::vector<int> stepsOf(const ExportPlan& plan) {
    std::vector<int> steps;
    for (std::int32_t i = 0; i < plan.count; ++i) steps.push_back(plan.stepAt(i));
    return steps;
}

TEST(GifRules, EndBeyondTheDataIsCutAndCountedAgain) {
    // 100 steps of 0.05 s, end typed as 10: end 5, 51 images at steps 0, 2, ..., 100.
    const ExportPlan plan = planExport(request("0", "10", "0.1", "10"));
    EXPECT_TRUE(plan.endCapped);
    EXPECT_EQ(plan.endText, QStringLiteral("5"));
    EXPECT_EQ(plan.count, 51);
    EXPECT_EQ(plan.delay, 1);
    std::vector<int> expected;
    for (int s = 0; s <= 100; s += 2) expected.push_back(s);
    EXPECT_EQ(stepsOf(plan), expected);
}

TEST(GifRules, EndInsideTheDataIsKeptAsTyped) {
    const ExportPlan plan = planExport(request("1", "3.0", "1", "0.5"));
    EXPECT_FALSE(plan.endCapped);
    EXPECT_EQ(plan.endText, QStringLiteral("3.0"));
    EXPECT_EQ(stepsOf(plan), (std::vector<int>{20, 40, 60}));
    EXPECT_EQ(plan.delay, 200);
}

TEST(GifRules, StepsRoundHalfToEven) {
    // Interval 1 s, images every 0.5 s: times 0, .5, 1, 1.5, 2, 2.5, 3.
    const ExportPlan plan = planExport(request("0", "3", "0.5", "1", "1", 3));
    EXPECT_EQ(stepsOf(plan), (std::vector<int>{0, 0, 1, 2, 2, 2, 3}));
}

TEST(GifRules, LastImageMayReachTheLastStep) {
    // The capped end reached exactly: 0.3 s of 0.1 s steps.
    const ExportPlan plan = planExport(request("0", "99", "0.1", "1", "0.1", 3));
    EXPECT_EQ(plan.endText, QStringLiteral("0.3"));
    EXPECT_EQ(stepsOf(plan), (std::vector<int>{0, 1, 2, 3}));
    const ExportPlan plan2 = planExport(request("0.3", "99", "0.1", "1", "0.1", 3));
    EXPECT_EQ(stepsOf(plan2), (std::vector<int>{3}));
}

TEST(GifRules, BadRequestsGetAMessage) {
    struct Case {
        ExportRequest request;
        const char* fragment;
    };
    ExportRequest noPath = request("0", "5", "0.1", "10");
    noPath.path = QStringLiteral("  ");
    const Case cases[] = {
        {noPath, "出力ファイルを指定"},
        {request("0", "5", "0.1", "10", "0"), "計算間隔「0」"},
        {request("0", "5", "0.1", "10", "abc"), "計算間隔「abc」"},
        {request("0", "5", "0.1", "10", "-0.05"), "計算間隔"},
        {request("0", "5", "0.1", "10", "0.05", -1), "時間データがありません"},
        {request("0", "5", "0", "10"), "作成間隔(s)には0より大きい"},
        {request("0", "5", "-1", "10"), "作成間隔(s)には0より大きい"},
        {request("0", "5", "x", "10"), "作成間隔(s)には0より大きい"},
        {request("0", "5", "1E999", "10"), "作成間隔(s)には0より大きい"},
        {request("0", "5", "0.1", "0"), "描画速度には0より大きい"},
        {request("0", "5", "0.1", "-2"), "描画速度には0より大きい"},
        {request("0", "5", "1000", "1"), "655秒まで"},
        {request("-1", "5", "0.1", "10"), "開始時間(s)には0以上"},
        {request("-0.01", "5", "0.1", "10"), "開始時間(s)には0以上"},
        {request("6", "8", "0.1", "10"), "データの終了時間(5秒)を超えて"},
        {request("3", "2", "0.1", "10"), "終了時間(s)には開始時間(s)以上"},
        {request("0", "-1E999", "0.1", "10"), "終了時間(s)には開始時間(s)以上"},
        {request("0", "5", "1E-9", "1"), "画像枚数が多すぎます"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fragment);
        try {
            planExport(c.request);
            ADD_FAILURE() << "no message";
        } catch (const qrn::QrnError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.fragment)))
                << e.message().toStdString();
            EXPECT_EQ(e.title(), QStringLiteral("アニメーション作成"));
        }
    }
}

}  // namespace

namespace {

TEST(GifPalette, NearestColourAndTableSize) {
    const Palette classic;
    EXPECT_EQ(classic.colours().size(), 16u);
    EXPECT_EQ(classic.transparentIndex(), 16);
    EXPECT_EQ(classic.tableSize(), 32);
    struct Case {
        Rgb colour;
        int index;
    };
    const Case cases[] = {
        {0xC80A0A, 12},  // light red
        {0x646464, 8},   // grey
        {0x0000C8, 9},   // light blue, not navy
        {0x404040, 0},   // black and grey tie: the lower index
        {0xFFFFFF, 15}, {0x008080, 3}, {0xFF000000u | 0xC0C0C0, 7},  // alpha ignored
    };
    for (const auto& c : cases)
        EXPECT_EQ(classic.nearest(c.colour), c.index) << std::hex << c.colour;

    const Palette canvas{0xF0F0F0, 0x000000, 0xF0F0F0};
    EXPECT_EQ(canvas.colours().size(), 17u);  // black is classic, the face colour once
    EXPECT_EQ(canvas.nearest(0xEBEBEB), 16);
    EXPECT_EQ(canvas.transparentIndex(), 17);
}

TEST(GifPalette, MapperCacheAgreesAfterManyColours) {
    // More distinct colours than the cache keeps, twice over.
    const Palette palette{0xF0F0F0};
    ColourMapper mapper(palette);
    for (int pass = 0; pass < 2; ++pass)
        for (std::uint32_t c = 0; c < 0x1000000; c += 0x1013)
            ASSERT_EQ(mapper.map(0xFF000000u | c), palette.nearest(c)) << std::hex << c;
}

}  // namespace
