#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "dataset/numbers.h"

using qrn::num::leadingValue;

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

// History fields take a shortcut for their plain forms; it must give exactly the
// general rule's value, and leave every other form to the general rule.
TEST(HistoryFieldValues, PlainFormsMatchTheGeneralRule) {
    const char* const cases[] = {
        " 0.12181E+03",
        "-0.35685E+01",
        " 0.23434E-01",
        "   -0.012345",
        "    1.234567",
        "-0.95979E-03",
        "  123456.789",
        "0.1E+22",
        "1E23",
        "-0.0",
        "0.0000000001",
        "9007199254740993",
        "12345678901234567890",
        "  1.5D2",
        " 1 2",
        "1.5-3",
        "- 7",
        "2E",
        "2E+",
        "1.2.3",
        "\t5",
        "5\r",
        ".5",
        "5.",
        "+.5E-1",
        "0E+999",
        "1e-400",
        "00000000000000000000001",
        "",
        "   ",
        "-",
        ".",
        "1E+0003",
    };
    for (const char* c : cases) {
        const std::string_view t(c);
        EXPECT_TRUE(sameBits(leadingValue(t), qrn::num::detail::scanLeadingValue(t))) << c;
    }
    EXPECT_EQ(leadingValue(" 0.12181E+03"), 121.81);
    EXPECT_EQ(leadingValue("   -0.012345"), -0.012345);
    EXPECT_TRUE(std::signbit(leadingValue("-0.0")));
}

TEST(HistoryFieldValues, RandomFieldsMatchTheGeneralRule) {
    std::mt19937_64 rng(20240611);
    const char alphabet[] = " 0123456789.-+EeD";
    const char digits[] = "0123456789";
    for (int i = 0; i < 200000; ++i) {
        std::string s;
        if (i % 2) {  // free mixtures
            const auto n = 1 + rng() % 14;
            for (std::size_t k = 0; k < n; ++k) s += alphabet[rng() % (sizeof alphabet - 1)];
        } else {  // the shapes of real fields: blanks, sign, digits, point, exponent
            s.append(rng() % 4, ' ');
            if (rng() % 2) s += "-+"[rng() % 2];
            for (auto k = rng() % 8; k > 0; --k) s += digits[rng() % 10];
            if (rng() % 4) {
                s += '.';
                for (auto k = rng() % 9; k > 0; --k) s += digits[rng() % 10];
            }
            if (rng() % 2) {
                s += "EeDd"[rng() % 4];
                if (rng() % 3) s += "-+"[rng() % 2];
                for (auto k = rng() % 4; k > 0; --k) s += digits[rng() % 10];
            }
            s.append(rng() % 3, ' ');
        }
        ASSERT_TRUE(sameBits(leadingValue(s), qrn::num::detail::scanLeadingValue(s)))
            << "'" << s << "'";
    }
}

TEST(HistoryFieldValues, RoundingTiesToEvenKeepsTheSignOfZero) {
    using qrn::num::roundHalfEven;
    struct C {
        double in, out;
    };
    const C cases[] = {{0.5, 0},
                       {1.5, 2},
                       {2.5, 2},
                       {-2.5, -2},
                       {-3.5, -4},
                       {62.5, 62},
                       {-62.5, -62},
                       {187.5, 188},
                       {-0.7, -1},
                       {0.49999999999999994, 0},
                       {4503599627370495.5, 4503599627370496},
                       {4503599627370497.0, 4503599627370497.0},
                       {1e300, 1e300}};
    for (const auto& c : cases) EXPECT_EQ(roundHalfEven(c.in), c.out) << c.in;
    EXPECT_TRUE(std::signbit(roundHalfEven(-0.0)));
    EXPECT_FALSE(std::signbit(roundHalfEven(-0.3)));
    EXPECT_FALSE(std::signbit(roundHalfEven(-0.5)));
    EXPECT_TRUE(std::isnan(roundHalfEven(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_EQ(qrn::num::roundToInt16(32767.4), std::optional<std::int16_t>(32767));
    EXPECT_EQ(qrn::num::roundToInt16(32767.5), std::nullopt);
    EXPECT_EQ(qrn::num::roundToInt16(-32768.5), std::optional<std::int16_t>(-32768));
    EXPECT_EQ(qrn::num::roundToInt32(2147483647.5), std::nullopt);
    EXPECT_EQ(qrn::num::roundToInt32(-2147483648.5), std::optional<std::int32_t>(-2147483648));
    EXPECT_EQ(qrn::num::roundToInt32(std::numeric_limits<double>::infinity()), std::nullopt);
}
