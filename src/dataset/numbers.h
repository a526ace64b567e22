#pragma once
// Number rules shared by every reader, writer and window: text to number and
// number to text, independent of the C locale (a comma-decimal locale must not
// change any result).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class QString;

namespace qrn::num {

// The value of a text: its longest leading decimal number (blanks ignored,
// optional sign, decimal point, E exponent); 0 when there is none.
double leadingValue(std::string_view text) noexcept;
double leadingValue(const QString& text);

// Strict conversion: the whole text (surrounding blanks allowed) is one number.
std::optional<double> strictValue(std::string_view text) noexcept;
std::optional<double> strictValue(const QString& text);

// Round to the nearest integer, ties to the even neighbour. Empty when the
// rounded value lies outside the target type or the input is not finite.
std::optional<std::int16_t> roundToInt16(double value) noexcept;
std::optional<std::int32_t> roundToInt32(double value) noexcept;
// Nearest integer, ties to even, as a double (no range check).
double roundHalfEven(double value) noexcept;

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
std::string formatFixed2(double value);   // "###0.00"
std::string formatKg(double value);       // "###0kg"

}  // namespace qrn::num
