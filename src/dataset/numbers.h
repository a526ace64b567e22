#pragma once
// Number rules shared by every reader, writer and window: text to number and
// number to text, independent of the C locale (a comma-decimal locale must not
// change any result).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class QString;

namespace qrn::num {

// The value of a text: its longest leading decimal number (blanks ignored,
// optional sign, decimal point, E exponent); 0 when there is none.
inline double leadingValue(std::string_view text) noexcept;
double leadingValue(const QString& text);

// Strict conversion: the whole text (surrounding blanks allowed) is one number.
std::optional<double> strictValue(std::string_view text) noexcept;
std::optional<double> strictValue(const QString& text);

// Round to the nearest integer, ties to the even neighbour. Empty when the
// rounded value lies outside the target type or the input is not finite.
inline std::optional<std::int16_t> roundToInt16(double value) noexcept;
inline std::optional<std::int32_t> roundToInt32(double value) noexcept;
// Nearest integer, ties to even, as a double (no range check).
inline double roundHalfEven(double value) noexcept;

// General number format: shortest decimal text of at most 15 significant
// digits for 64-bit values, 7 for 32-bit values; "." decimal point, no
// thousands separators, exponent form "1E-05" / "1E+15" outside the fixed range.
std::string formatGeneral(double value);
std::string formatGeneral(float value);
QString formatGeneralQ(double value);
QString formatGeneralQ(float value);

// formatGeneral(double) written at `out`, for writers that fill a buffer: the
// same text, without allocating in the common range. `out` needs room for
// kGeneralMaxChars characters; returns the end of the text.
inline constexpr std::size_t kGeneralMaxChars = 32;
char* appendGeneral(char* out, double value);
// formatGeneral(k / 1000.0) for |k| < 1E+15, straight from the integer.
char* appendThousandths(char* out, std::int64_t k);

// Read-out patterns.
std::string formatFixed2(double value);  // "###0.00"
std::string formatKg(double value);      // "###0kg"

// --- Inline definitions: text histories convert and round hundreds of millions
// of values, so the common cases compile into the readers' loops. ---

namespace detail {

// The general leading-value scan (numbers.cpp).
double scanLeadingValue(std::string_view text) noexcept;

inline constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The plain forms that fill history files ("  -0.012345", " 0.12345E+01"),
// converted without the general scan: at most 19 digits forming a mantissa of
// at most 2^53, and a decimal exponent within +-22, need one exact
// multiplication or division, which rounds correctly and so gives the general
// scan's result. Anything unusual (inner blanks, other blank characters, long
// mantissas, odd exponents, trailing text) returns false and takes the scan.
inline bool plainValue(std::string_view text, double& out) noexcept {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end && *p == ' ') ++p;
    if (p == end) return false;
    const bool negative = *p == '-';
    p += (*p == '-') | (*p == '+');
    auto digitAt = [end](const char* q) {
        return q < end && static_cast<unsigned char>(*q - '0') < 10u;
    };
    std::uint64_t m = 0;  // wraps harmlessly beyond 19 digits, which are refused
    const char* digitsFrom = p;
    for (; digitAt(p); ++p) m = m * 10 + static_cast<std::uint64_t>(*p - '0');
    std::ptrdiff_t digits = p - digitsFrom;
    int exp10 = 0;
    if (p < end && *p == '.') {
        const char* fractionFrom = ++p;
        for (; digitAt(p); ++p) m = m * 10 + static_cast<std::uint64_t>(*p - '0');
        exp10 = -static_cast<int>(p - fractionFrom);
        digits += p - fractionFrom;
    }
    if (digits == 0 || digits > 19) return false;
    if (p < end && ((*p | 0x20) == 'e' || (*p | 0x20) == 'd')) {
        ++p;
        const bool expNegative = p < end && *p == '-';
        p += p < end && (*p == '-' || *p == '+');
        int e = 0;
        const char* expFrom = p;
        for (; digitAt(p) && p - expFrom < 3; ++p) e = e * 10 + (*p - '0');
        if (p == expFrom) return false;
        exp10 += expNegative ? -e : e;
    }
    while (p < end && *p == ' ') ++p;
    if (p != end || m > (std::uint64_t{1} << 53) || exp10 < -22 || exp10 > 22) return false;
    const double v = static_cast<double>(m);
    const double scaled = exp10 < 0 ? v / kExactPow10[-exp10] : v * kExactPow10[exp10];
    out = negative ? -scaled : scaled;
    return true;
}

}  // namespace detail

inline double leadingValue(std::string_view text) noexcept {
    double v;
    return detail::plainValue(text, v) ? v : detail::scanLeadingValue(text);
}

inline double roundHalfEven(double value) noexcept {
    // From 2^52 on every double is whole (and NaN and infinities stay as they are).
    if (!(std::fabs(value) < 4503599627370496.0)) return value;
    // Adding and taking away 2^52 leaves the nearest whole number, ties to even:
    // the default rounding of every floating-point addition.
    const double big = std::copysign(4503599627370496.0, value);
    const double r = (value + big) - big;
    // A zero result is +0 unless the value itself was -0.
    return r == 0.0 ? (value == 0.0 ? value : 0.0) : r;
}

inline std::optional<std::int16_t> roundToInt16(double value) noexcept {
    const double r = roundHalfEven(value);
    if (!(r >= -32768.0 && r <= 32767.0)) return std::nullopt;
    return static_cast<std::int16_t>(r);
}

inline std::optional<std::int32_t> roundToInt32(double value) noexcept {
    const double r = roundHalfEven(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return std::nullopt;
    return static_cast<std::int32_t>(r);
}

}  // namespace qrn::num
