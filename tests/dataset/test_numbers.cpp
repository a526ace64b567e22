#include <gtest/gtest.h>

#include <QString>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "dataset/numbers.h"

using namespace qrn::num;

namespace {

// Runs every case under the C locale and, when installed, a comma-decimal one.
class LocaleGuard {
  public:
    explicit LocaleGuard(const char* name) : old_(std::setlocale(LC_ALL, nullptr)) {
        ok_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~LocaleGuard() { std::setlocale(LC_ALL, old_.c_str()); }
    bool ok() const { return ok_; }

  private:
    std::string old_;
    bool ok_ = false;
};

const char* const kLocales[] = {"C", "de_DE.UTF-8", "fr_FR.UTF-8"};

struct ValueCase {
    const char* text;
    double expected;
};

const ValueCase kLeading[] = {
    {"", 0.0},
    {"abc", 0.0},
    {"  12.5", 12.5},
    {"-3", -3.0},
    {"+4.25", 4.25},
    {"1 2 3", 123.0},
    {"1.5E3", 1500.0},
    {"1.5e-2", 0.015},
    {"2E", 2.0},
    {"2E+", 2.0},
    {"7.5x9", 7.5},
    {".5", 0.5},
    {"-.25", -0.25},
    {"5.", 5.0},
    {"-", 0.0},
    {".", 0.0},
    {"1,5", 1.0},
    {"  -0.1234E+01", -1.234},
    {"0.0000", 0.0},
    {"1D2", 100.0},
    {"   123.456789012", 123.456789012},
    {"1.2.3", 1.2},
    {"- 7", -7.0},
    {"00012", 12.0},
    {"1e400", std::numeric_limits<double>::infinity()},
    {"1e-400", 0.0},
};

}  // namespace

TEST(Numbers, LeadingValueInEveryLocale) {
    for (const char* loc : kLocales) {
        LocaleGuard g(loc);
        if (!g.ok()) continue;
        for (const auto& c : kLeading) {
            EXPECT_DOUBLE_EQ(leadingValue(std::string_view(c.text)), c.expected)
                << "text '" << c.text << "' locale " << loc;
        }
    }
}

TEST(Numbers, LeadingValueOfQString) {
    EXPECT_DOUBLE_EQ(leadingValue(QStringLiteral("0.05")), 0.05);
    EXPECT_DOUBLE_EQ(leadingValue(QStringLiteral("３")), 0.0);  // full-width digit is no number
}

TEST(Numbers, StrictValue) {
    struct C {
        const char* text;
        bool ok;
        double v;
    };
    const C cases[] = {{"12", true, 12}, {" 12 ", true, 12}, {"12a", false, 0},
                       {"", false, 0},   {"  ", false, 0},   {"-1.5e2", true, -150},
                       {"1e", false, 0}, {".", false, 0},    {"0.05", true, 0.05}};
    for (const char* loc : kLocales) {
        LocaleGuard g(loc);
        if (!g.ok()) continue;
        for (const auto& c : cases) {
            const auto r = strictValue(std::string_view(c.text));
            EXPECT_EQ(r.has_value(), c.ok) << c.text;
            if (r && c.ok) {
                EXPECT_DOUBLE_EQ(*r, c.v) << c.text;
            }
        }
    }
}

TEST(Numbers, RoundHalfEven) {
    struct C {
        double in;
        double out;
    };
    const C cases[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},          {-0.5, 0},
                       {-1.5, -2}, {-2.5, -2}, {2.4999, 2},       {2.5001, 3},
                       {-2.6, -3}, {3.0, 3},   {1e15 + 0.5, 1e15}};
    for (const auto& c : cases) EXPECT_EQ(roundHalfEven(c.in), c.out) << c.in;
}

TEST(Numbers, RoundToIntRanges) {
    EXPECT_EQ(roundToInt16(32767.4), std::optional<std::int16_t>(32767));
    EXPECT_EQ(roundToInt16(32767.5), std::nullopt);                          // 32768 after rounding
    EXPECT_EQ(roundToInt16(-32768.5), std::optional<std::int16_t>(-32768));  // ties to even
    EXPECT_EQ(roundToInt16(-32769), std::nullopt);
    EXPECT_EQ(roundToInt16(40000), std::nullopt);
    EXPECT_EQ(roundToInt16(std::nan("")), std::nullopt);
    EXPECT_EQ(roundToInt32(2147483647.4), std::optional<std::int32_t>(2147483647));
    EXPECT_EQ(roundToInt32(2147483647.5), std::nullopt);
    EXPECT_EQ(roundToInt32(-2147483648.0), std::optional<std::int32_t>(INT32_MIN));
    EXPECT_EQ(roundToInt32(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(roundToInt32(12.5), std::optional<std::int32_t>(12));
    EXPECT_EQ(roundToInt32(13.5), std::optional<std::int32_t>(14));
}

TEST(Numbers, GeneralFormatDouble) {
    struct C {
        double v;
        const char* text;
    };
    const C cases[] = {
        {0.05, "0.05"},
        {0.05 * 3, "0.15"},
        {1e-5, "1E-05"},
        {1e15, "1E+15"},
        {1e14, "100000000000000"},
        {static_cast<double>(12.3f), "12.3000001907349"},
        {0.0, "0"},
        {-0.0, "0"},
        {-2.5, "-2.5"},
        {0.0001, "0.0001"},
        {0.00012345, "0.00012345"},
        {1.5e-7, "1.5E-07"},
        {123456789012345678.0, "1.23456789012346E+17"},
        {999999999999999.9, "1E+15"},
        {0.1 + 0.2, "0.3"},
        {100, "100"},
        {1.0 / 3.0, "0.333333333333333"},
        {1e100, "1E+100"},
    };
    for (const char* loc : kLocales) {
        LocaleGuard g(loc);
        if (!g.ok()) continue;
        for (const auto& c : cases) EXPECT_EQ(formatGeneral(c.v), c.text) << c.v;
    }
}

TEST(Numbers, GeneralFormatSingle) {
    struct C {
        float v;
        const char* text;
    };
    const C cases[] = {{10.5f, "10.5"},          {12.3f, "12.3"},         {0.1f, "0.1"},
                       {1e7f, "1E+07"},          {1234567.0f, "1234567"}, {-0.001f, "-0.001"},
                       {3.14159265f, "3.141593"}};
    for (const auto& c : cases) EXPECT_EQ(formatGeneral(c.v), c.text) << c.v;
}

TEST(Numbers, ReadOutPatterns) {
    struct C {
        double v;
        const char* fixed2;
        const char* kg;
    };
    const C cases[] = {
        {0.0, "0.00", "0kg"},
        {1.005, "1.00", "1kg"},  // 1.005 is just below in binary
        {0.125, "0.13", "0kg"},
        {2.5, "2.50", "3kg"},
        {12345.678, "12345.68", "12346kg"},
        {-0.001, "0.00", "0kg"},
        {-1.5, "-1.50", "-2kg"},
        {9.999, "10.00", "10kg"},
        {1234567.0, "1234567.00", "1234567kg"},
    };
    for (const char* loc : kLocales) {
        LocaleGuard g(loc);
        if (!g.ok()) continue;
        for (const auto& c : cases) {
            EXPECT_EQ(formatFixed2(c.v), c.fixed2) << c.v;
            EXPECT_EQ(formatKg(c.v), c.kg) << c.v;
        }
    }
}

namespace {
std::string appended(double v) {
    char buf[kGeneralMaxChars];
    return std::string(buf, appendGeneral(buf, v));
}
}  // namespace

TEST(Numbers, AppendGeneralWritesTheGeneralFormat) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {0.05 * 3, "0.15"},
        {static_cast<double>(12.3f), "12.3000001907349"},
        {-0.06, "-0.06"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {-0.000099999999999999991, "-0.0001"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E+15"},
        {999999999999999.4, "999999999999999"},
        {9.999999999999999, "10"},
        {12345678901234.25, "12345678901234.2"},  // exact ties go to the even digit
        {12345678901234.75, "12345678901234.8"},
        {2147483.647, "2147483.647"},
        {-1.503, "-1.503"},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
        {-std::numeric_limits<double>::infinity(), "-Infinity"},
    };
    for (const auto& c : cases) EXPECT_EQ(appended(c.value), c.text) << c.text;
}

TEST(Numbers, AppendGeneralAgreesWithFormatGeneral) {
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int i = 0; i < 40000; ++i) {
        // Values the CSV export produces: millimetres / 1000 plus a float position,
        // hundredths of degrees, times; and arbitrary bit patterns.
        const auto r = next();
        const double disp = static_cast<double>(static_cast<std::int32_t>(r)) / 1000.0;
        const float pos = static_cast<float>(static_cast<std::int32_t>(r >> 32) % 2000000) / 7.0f;
        double bits = 0;
        const std::uint64_t raw = next();
        std::memcpy(&bits, &raw, sizeof bits);
        for (double v : {disp, disp + static_cast<double>(pos),
                         std::floor(disp * 18 / 3.14159) / 100, 0.05 * (r % 40000), bits}) {
            ASSERT_EQ(appended(v), formatGeneral(v)) << std::hexfloat << v;
        }
    }
}

TEST(Numbers, AppendThousandthsIsTheGeneralFormatOfKOver1000) {
    const struct {
        std::int64_t k;
        const char* text;
    } cases[] = {{0, "0"},
                 {1, "0.001"},
                 {-10, "-0.01"},
                 {1500, "1.5"},
                 {-2000, "-2"},
                 {2147483647, "2147483.647"},
                 {-2147483648LL, "-2147483.648"},
                 {999999999999999LL, "999999999999.999"},
                 {-120, "-0.12"},
                 {1000000, "1000"}};
    for (const auto& c : cases) {
        char buf[kGeneralMaxChars];
        EXPECT_EQ(std::string(buf, appendThousandths(buf, c.k)), c.text);
        EXPECT_EQ(formatGeneral(static_cast<double>(c.k) / 1000.0), c.text);
    }
    std::uint64_t state = 88172645463325252ULL;
    for (int i = 0; i < 100000; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const auto k = static_cast<std::int64_t>(state % 2000000000000001ULL) - 1000000000000000LL;
        char buf[kGeneralMaxChars];
        ASSERT_EQ(std::string(buf, appendThousandths(buf, k >> (i % 40))),
                  formatGeneral(static_cast<double>(k >> (i % 40)) / 1000.0));
    }
}
