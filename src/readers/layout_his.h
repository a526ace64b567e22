#pragma once
// Layout of the text history ("*.his", "*.f24"): records of a header line, a
// title line, a count line and data lines of fixed-width values. The reader
// and the sample writer both take the columns from here.

#include <cstddef>
#include <string_view>

namespace qrn::his {

// Columns first..first+count-1 of a line, 1-based as the analysis program's
// format describes them.
struct Columns {
    std::size_t first;
    std::size_t count;
};

// The header line: the tag from column 1, the kind ("DISP", "CABL", "BEAM"),
// the component digit, and the node or element number.
inline constexpr std::string_view kTag = "HISTORY";
inline constexpr Columns kKind{21, 4};
inline constexpr Columns kDigit{40, 1};
inline constexpr Columns kNumber{52, 9};

// Data lines: values of 12 characters each, six to a line.
inline constexpr std::size_t kValueWidth = 12;
inline constexpr std::size_t kValuesPerLine = 6;

}  // namespace qrn::his
