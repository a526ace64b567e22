#include "dataset/numbers.h"

#include <QString>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace qrn::num {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Collects the longest leading number of `text` (blanks skipped) into `out`
// without blanks. Returns the number of characters of `text` consumed up to
// the end of the number, or 0 when there is no number.
struct Scan {
    std::array<char, 400> buf{};
    std::size_t len = 0;
    bool negative = false;
    bool ok = false;
    std::size_t consumed = 0;  // characters of the input that belong to the number
};

Scan scanNumber(std::string_view text) noexcept {
    Scan s;
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto skip = [&] {
        while (i < n && isBlank(text[i])) ++i;
    };
    auto put = [&](char c) {
        if (s.len < s.buf.size() - 1) s.buf[s.len++] = c;
    };
    skip();
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        s.negative = text[i] == '-';
        ++i;
        skip();
    }
    bool mantissaDigits = false;
    std::size_t intDigits = 0;
    while (i < n) {
        if (isDigit(text[i])) {
            // Leading zeros carry no value; dropping them keeps long inputs in the buffer.
            if (!(intDigits == 0 && text[i] == '0')) {
                put(text[i]);
                ++intDigits;
            }
            mantissaDigits = true;
            ++i;
        } else if (isBlank(text[i])) {
            ++i;
        } else {
            break;
        }
    }
    if (intDigits == 0) put('0');
    std::size_t end = i;
    if (i < n && text[i] == '.') {
        put('.');
        ++i;
        while (i < n) {
            if (isDigit(text[i])) {
                put(text[i]);
                mantissaDigits = true;
                ++i;
            } else if (isBlank(text[i])) {
                ++i;
            } else {
                break;
            }
        }
        end = i;
    }
    if (!mantissaDigits) return s;
    s.ok = true;
    s.consumed = end;
    if (i < n && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        std::size_t j = i + 1;
        while (j < n && isBlank(text[j])) ++j;
        bool expNeg = false;
        if (j < n && (text[j] == '+' || text[j] == '-')) {
            expNeg = text[j] == '-';
            ++j;
        }
        while (j < n && isBlank(text[j])) ++j;
        if (j < n && isDigit(text[j])) {
            put('e');
            if (expNeg) put('-');
            int expDigits = 0;
            while (j < n && (isDigit(text[j]) || isBlank(text[j]))) {
                if (isDigit(text[j]) && expDigits < 6) {
                    put(text[j]);
                    ++expDigits;
                }
                ++j;
            }
            s.consumed = j;
        }
    }
    return s;
}

double convert(const Scan& s) noexcept {
    double v = 0.0;
    auto r = std::from_chars(s.buf.data(), s.buf.data() + s.len, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: follow the sign of the exponent.
        const char* e = static_cast<const char*>(std::memchr(s.buf.data(), 'e', s.len));
        v = (e && e[1] == '-') ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (r.ec != std::errc()) {
        v = 0.0;
    }
    return s.negative ? -v : v;
}

std::string_view trimBlanks(std::string_view t) {
    while (!t.empty() && isBlank(t.front())) t.remove_prefix(1);
    while (!t.empty() && isBlank(t.back())) t.remove_suffix(1);
    return t;
}

// Digits and decimal exponent of `value` rounded to `precision` significant digits,
// trailing zeros removed.
struct Decimal {
    std::string digits;  // at least one digit, no leading zero unless value is 0
    int exponent = 0;    // value = 0.d1d2d3... x 10^(exponent+1)
    bool negative = false;
};

Decimal toDecimal(double value, int precision) {
    Decimal d;
    std::array<char, 64> buf{};
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value),
                           std::chars_format::scientific, precision - 1);
    std::string_view s(buf.data(), static_cast<std::size_t>(r.ptr - buf.data()));
    const auto ePos = s.find('e');
    std::string_view mant = s.substr(0, ePos);
    int exp = 0;
    const char* expStart = s.data() + ePos + 1;
    if (*expStart == '+') ++expStart;  // from_chars takes no plus sign
    std::from_chars(expStart, s.data() + s.size(), exp);
    for (char c : mant)
        if (isDigit(c)) d.digits.push_back(c);
    while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
    d.exponent = exp;
    d.negative = std::signbit(value) && d.digits != "0";
    return d;
}

std::string general(double value, int precision) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    if (value == 0.0) return "0";
    const Decimal d = toDecimal(value, precision);
    std::string out;
    if (d.negative) out.push_back('-');
    const int e = d.exponent;
    if (e >= precision || e < -4) {
        out.push_back(d.digits[0]);
        if (d.digits.size() > 1) {
            out.push_back('.');
            out.append(d.digits, 1, std::string::npos);
        }
        out.push_back('E');
        out.push_back(e < 0 ? '-' : '+');
        const int a = e < 0 ? -e : e;
        if (a < 10) out.push_back('0');
        out += std::to_string(a);
    } else if (e < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-e - 1), '0');
        out += d.digits;
    } else {
        const auto intLen = static_cast<std::size_t>(e + 1);
        if (d.digits.size() <= intLen) {
            out += d.digits;
            out.append(intLen - d.digits.size(), '0');
        } else {
            out.append(d.digits, 0, intLen);
            out.push_back('.');
            out.append(d.digits, intLen, std::string::npos);
        }
    }
    return out;
}

// Fixed-point text with `decimals` digits, ties (exact binary halves) away from
// zero, no thousands separators, no sign on a result that shows as zero.
std::string fixed(double value, int decimals) {
    if (!std::isfinite(value)) return general(value, 15);
    std::array<char, 400> exact{};
    auto r = std::to_chars(exact.data(), exact.data() + exact.size(), std::fabs(value),
                           std::chars_format::fixed, decimals + 60);
    std::string s(exact.data(), r.ptr);
    // Decide the rounding from the digits after the kept ones.
    const auto dot = s.find('.');
    std::string keep = s.substr(0, dot + 1 + static_cast<std::size_t>(decimals));
    if (decimals == 0) keep = s.substr(0, dot);
    const std::string rest = s.substr(dot + 1 + static_cast<std::size_t>(decimals));
    const bool roundUp = !rest.empty() && rest[0] >= '5';
    if (roundUp) {
        int i = static_cast<int>(keep.size()) - 1;
        for (; i >= 0; --i) {
            if (keep[static_cast<std::size_t>(i)] == '.') continue;
            if (keep[static_cast<std::size_t>(i)] == '9') {
                keep[static_cast<std::size_t>(i)] = '0';
            } else {
                ++keep[static_cast<std::size_t>(i)];
                break;
            }
        }
        if (i < 0) keep.insert(keep.begin(), '1');
    }
    bool allZero = true;
    for (char c : keep)
        if (isDigit(c) && c != '0') allZero = false;
    if (value < 0 && !allZero) keep.insert(keep.begin(), '-');
    return keep;
}

}  // namespace

double detail::scanLeadingValue(std::string_view text) noexcept {
    const Scan s = scanNumber(text);
    return s.ok ? convert(s) : 0.0;
}

double leadingValue(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return leadingValue(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::optional<double> strictValue(std::string_view text) noexcept {
    const std::string_view t = trimBlanks(text);
    if (t.empty()) return std::nullopt;
    const Scan s = scanNumber(t);
    if (!s.ok || s.consumed != t.size()) return std::nullopt;
    return convert(s);
}

std::optional<double> strictValue(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return strictValue(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::string formatGeneral(double value) { return general(value, 15); }
std::string formatGeneral(float value) { return general(static_cast<double>(value), 7); }

namespace {

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 U128;

constexpr std::uint64_t kPow10[20] = {1ULL,
                                      10ULL,
                                      100ULL,
                                      1000ULL,
                                      10000ULL,
                                      100000ULL,
                                      1000000ULL,
                                      10000000ULL,
                                      100000000ULL,
                                      1000000000ULL,
                                      10000000000ULL,
                                      100000000000ULL,
                                      1000000000000ULL,
                                      10000000000000ULL,
                                      100000000000000ULL,
                                      1000000000000000ULL,
                                      10000000000000000ULL,
                                      100000000000000000ULL,
                                      1000000000000000000ULL,
                                      10000000000000000000ULL};

// 10^-5 .. 10^15: first guess of the decimal exponent.
constexpr double kPow10d[21] = {1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2,  1e3,  1e4, 1e5,
                                1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// m x 2^-s x 10^p (p <= 19, s < 120), rounded exactly to the nearest integer, ties to even.
std::uint64_t scaledRound(std::uint64_t m, int s, int p) {
    const U128 n = static_cast<U128>(m) * kPow10[p];
    const U128 r = n >> s;
    const U128 rem = n - (r << s);
    const U128 half = static_cast<U128>(1) << (s - 1);
    std::uint64_t out = static_cast<std::uint64_t>(r);
    if (rem > half || (rem == half && (out & 1U))) ++out;
    return out;
}

// The 15 significant digits and decimal exponent of a normal double in the
// fixed-notation range, by exact integer arithmetic instead of a decimal
// conversion of the whole binary expansion. False outside that range.
bool fastGeneral(double value, char*& out) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const int be = static_cast<int>((bits >> 52) & 0x7ff);
    if (be == 0 || be == 0x7ff) return false;
    const std::uint64_t m = (bits & ((1ULL << 52) - 1)) | (1ULL << 52);
    const int s = 1075 - be;  // value = m x 2^-s
    if (s <= 0 || s >= 120) return false;
    // floor(log10(2^k)) for the binary exponent k; the decimal exponent is this
    // or one more, told apart by one comparison (a guess; corrected below).
    const int k = be - 1023;
    const int e0 = k >= 0 ? (k * 78913) >> 18 : -((-k * 78913 + (1 << 18) - 1) >> 18);
    if (e0 < -6 || e0 > 14) return false;
    int e = e0;
    if (std::fabs(value) >= kPow10d[e0 + 6]) ++e;
    std::uint64_t r = 0;
    for (int tries = 0;; ++tries) {
        if (e < -5 || e > 14 || tries == 4) return false;
        r = scaledRound(m, s, 14 - e);
        if (r < kPow10[14]) {
            --e;
        } else if (r >= kPow10[15]) {
            ++e;  // rounded up into the next decade
        } else {
            break;
        }
    }
    if (e < -4) return false;

    // 15 digits, two at a time.
    char digits[16];
    auto pairs = [](char* at, std::uint32_t v, int count) {
        for (int i = count - 2; i >= 0; i -= 2) {
            std::memcpy(at + i, kDigitPairs + 2 * (v % 100), 2);
            v /= 100;
        }
    };
    const auto hi = static_cast<std::uint32_t>(r / 100000000U);  // 7 digits
    const auto lo = static_cast<std::uint32_t>(r % 100000000U);  // 8 digits
    digits[0] = static_cast<char>('0' + hi / 1000000U);
    pairs(digits + 1, hi % 1000000U, 6);
    pairs(digits + 7, lo, 8);
    int n = lo == 0 ? 7 : 15;
    while (n > 1 && digits[n - 1] == '0') --n;
    if (bits >> 63) *out++ = '-';
    if (e < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int i = 0; i < -e - 1; ++i) *out++ = '0';
        std::memcpy(out, digits, static_cast<std::size_t>(n));
        out += n;
    } else {
        const int intLen = e + 1;
        if (n <= intLen) {
            std::memcpy(out, digits, static_cast<std::size_t>(n));
            out += n;
            for (int i = n; i < intLen; ++i) *out++ = '0';
        } else {
            std::memcpy(out, digits, static_cast<std::size_t>(intLen));
            out += intLen;
            *out++ = '.';
            std::memcpy(out, digits + intLen, static_cast<std::size_t>(n - intLen));
            out += n - intLen;
        }
    }
    return true;
}
#else
bool fastGeneral(double, char*&) { return false; }
#endif

// Text of 0..999 and of the thousandths ".001" .. ".999" without trailing
// zeros (empty for 0), four bytes each so they are copied whole.
struct Piece {
    char text[4];
    std::uint8_t length;
};

constexpr std::array<Piece, 1000> makeSmall() {
    std::array<Piece, 1000> t{};
    for (int v = 0; v < 1000; ++v) {
        Piece& p = t[static_cast<std::size_t>(v)];
        const char d[3] = {static_cast<char>('0' + v / 100), static_cast<char>('0' + v / 10 % 10),
                           static_cast<char>('0' + v % 10)};
        const int skip = v >= 100 ? 0 : v >= 10 ? 1 : 2;
        for (int i = skip; i < 3; ++i) p.text[p.length++] = d[i];
    }
    return t;
}

constexpr std::array<Piece, 1000> makeThousandths() {
    std::array<Piece, 1000> t{};
    for (int v = 1; v < 1000; ++v) {
        Piece& p = t[static_cast<std::size_t>(v)];
        const char d[3] = {static_cast<char>('0' + v / 100), static_cast<char>('0' + v / 10 % 10),
                           static_cast<char>('0' + v % 10)};
        int n = 3;
        while (d[n - 1] == '0') --n;
        p.text[p.length++] = '.';
        for (int i = 0; i < n; ++i) p.text[p.length++] = d[i];
    }
    return t;
}

constexpr std::array<Piece, 1000> kSmall = makeSmall();
constexpr std::array<Piece, 1000> kThousandths = makeThousandths();

}  // namespace

char* appendThousandths(char* out, std::int64_t k) {
    const auto a = k < 0 ? 0 - static_cast<std::uint64_t>(k) : static_cast<std::uint64_t>(k);
    *out = '-';
    out += k < 0 ? 1 : 0;
    const std::uint64_t whole = a / 1000U;
    if (whole < 1000U) {
        std::memcpy(out, kSmall[whole].text, 4);
        out += kSmall[whole].length;
    } else {
        out = std::to_chars(out, out + 20, whole).ptr;
    }
    const Piece& frac = kThousandths[a % 1000U];
    std::memcpy(out, frac.text, 4);
    return out + frac.length;
}

char* appendGeneral(char* out, double value) {
    if (value == 0.0) {
        *out++ = '0';
        return out;
    }
    // Values that are whole thousandths (displacements in mm / 1000, hundredths
    // of degrees, most times) are written straight from the integer: such a
    // value differs from k / 1000 by less than one part in 2^53, far less than
    // half a unit in the 15th digit, so its 15 digits are those of k / 1000.
    const double milli = value * 1000.0;
    if (std::fabs(milli) < 1e15) {
        const auto k = static_cast<std::int64_t>(milli);
        if (static_cast<double>(k) == milli) return appendThousandths(out, k);
    }
    if (fastGeneral(value, out)) return out;
    const std::string text = general(value, 15);
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

QString formatGeneralQ(double value) { return QString::fromStdString(formatGeneral(value)); }
QString formatGeneralQ(float value) { return QString::fromStdString(formatGeneral(value)); }

std::string formatFixed2(double value) { return fixed(value, 2); }
std::string formatKg(double value) { return fixed(value, 0) + "kg"; }

}  // namespace qrn::num
