#pragma once
// Layout of the static-equilibrium time-section files, in the text form
// ("tmp\sec.file") and the Pro edition's binary form ("self.f08"). The reader
// and the sample writer both take the columns and offsets from here.

#include <cstddef>
#include <cstdint>

#include "readers/layout_his.h"

namespace qrn::section {

// Text form: a node line with the node number, then a line of its x, y, z
// offsets and torsion angle; a node number 0 ends the list.
inline constexpr his::Columns kNodeNumber{2, 9};
inline constexpr std::size_t kValueWidth = 12;  // x, y, z, torsion from column 1
inline constexpr std::size_t kTorsionColumn = 1 + 3 * kValueWidth;

// Binary form: a title record (its byte length before and after), the entry
// count, then the entry list and the value list, each framed by its byte length.
inline constexpr std::int64_t kTitleAt = 4;
inline constexpr std::int32_t kTitleBytes = 264;
inline constexpr std::int64_t kCountAt = 272;       // int32: entries
inline constexpr std::int64_t kListLengthAt = 316;  // int32: the list's byte length
inline constexpr std::int64_t kListAt = 320;        // (node number, type) int32 pairs
inline constexpr std::int64_t kEntryBytes = 8;
// The float64 values follow the list, its closing length and the values' opening one.
constexpr std::int64_t valuesAt(std::int64_t listLength) { return kListAt + listLength + 8; }

// Entry types: offsets along x, y, z, then the initial torsion angle.
inline constexpr std::int32_t kTypeX = 1;
inline constexpr std::int32_t kTypeZ = 3;
inline constexpr std::int32_t kTypeTorsion = 4;

}  // namespace qrn::section
