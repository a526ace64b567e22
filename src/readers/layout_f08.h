#pragma once
// Layout of the Pro edition's binary history ("*.f08"): little-endian int32
// and float64 at fixed offsets, then a variable part placed by a base offset.
// The reader and the sample writer both take the offsets from here.

#include <cstdint>

namespace qrn::f08 {

// A title record: its byte length (kTitleBytes) before and after the text.
inline constexpr std::int64_t kTitleAt = 4;
inline constexpr std::int32_t kTitleBytes = 100;

inline constexpr std::int64_t kStepCountAt = 108;  // int32: time steps
inline constexpr std::int64_t kIntervalAt = 112;   // float64: seconds per step
// int32 counts the analysis program records for its own use: nodes, tension
// elements, beam elements.
inline constexpr std::int64_t kNodeCountAt = 120;
inline constexpr std::int64_t kTensionCountAt = 124;
inline constexpr std::int64_t kBeamCountAt = 128;
inline constexpr std::int64_t kBaseAt = 252;  // int32: base offset A of the variable part

// One int32 step number per step from here, then the header words.
inline constexpr std::int64_t kStepNumbersAt = 256;
inline constexpr int kHeaderWords = 16;
inline constexpr int kWordEntries = 0;    // entries in the list
inline constexpr int kWordSteps = 1;      // time steps
inline constexpr int kWordListEnd = 2;    // entries with values: displacements, then tensions
inline constexpr int kWordDispCount = 3;  // displacement entries, first in the list

// From the base: the entry list's byte length (int32), then the list of
// (node or element number, type) int32 pairs.
inline constexpr std::int64_t kListLengthAfterBase = 312;
inline constexpr std::int64_t kListAfterBase = 316;
inline constexpr std::int64_t kEntryBytes = 8;

// Where the header words start for a file of `steps` steps.
constexpr std::int64_t headerWordsAt(std::int64_t steps) { return kStepNumbersAt + 4 * steps; }

// The base a file of `steps` steps has when the list-length word follows its
// header words directly.
constexpr std::int64_t baseFor(std::int64_t steps) {
    return headerWordsAt(steps) + 4 * kHeaderWords + 4 - kListAfterBase;
}

// Step record s (1..steps) is framed by its byte length before and after and
// holds one float64 per entry; records follow the list, which is framed the
// same way.
constexpr std::int64_t recordBytes(std::int64_t entries) { return kEntryBytes * entries + 8; }
constexpr std::int64_t recordAt(std::int64_t listAt, std::int64_t entries, std::int64_t step) {
    return listAt + step * recordBytes(entries);
}

}  // namespace qrn::f08
