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
QString formatGeneralQ(double value) { return QString::fromStdString(formatGeneral(value)); }
QString formatGeneralQ(float value) { return QString::fromStdString(formatGeneral(value)); }

std::string formatFixed2(double value) { return fixed(value, 2); }
std::string formatKg(double value) { return fixed(value, 0) + "kg"; }

}  // namespace qrn::num
