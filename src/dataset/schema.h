#pragma once
// The dataset's fields, listed once, in the order the binary dataset file
// stores them: each field's name, the bounds its counts give it, how each
// generation of the file holds it, and whether DataReset clears it. Comparing
// datasets, resetting one, and writing, reading and checking the binary file
// all walk this table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "dataset/dataset.h"
#include "dataset/fileformat.h"

namespace qrn::schema {

// How a file holds a field.
enum class Storage : std::uint8_t {
    Absent,   // not in the file: a count reads as 0, an array as zeros
    Int16,    // 16-bit integers (an int32 array is narrowed; its values must fit)
    Native,   // the memory type as it is: int16, int32 or float32
    Fixed16,  // 16-bit integers in a fixed-size block of the oldest generations
    ByRoom,   // native when the rest of the file has room for it, else 16-bit
    Trailing  // native, or left zero when the file ends before it
};

enum class Role : std::uint8_t {
    Count,     // 32 bits in memory, 16 in the file
    Interval,  // the interval box's value x 100: in the file only
    Array,
    Block  // the fixed block of an array the oldest generations store apart from it
};

// One dimension of an array: lo..(count + add), or lo..add without a count.
struct Dim {
    std::int32_t lo = 0;
    std::int32_t Dataset::*count = nullptr;
    std::int32_t add = 0;
};

// Type-erased access to one array member.
struct ArrayOps {
    std::size_t elementBytes;
    std::size_t rank;
    std::size_t (*size)(const Dataset&);
    void* (*data)(Dataset&);
    const void* (*constData)(const Dataset&);
    void (*create)(Dataset&, const Bounds* bounds);  // zero-filled
    void (*clear)(Dataset&);
    bool (*hasBounds)(const Dataset&, const Bounds* bounds);  // not empty, exactly these
    bool (*equal)(const Dataset&, const Dataset&);
};

inline constexpr std::int32_t kNoMinimum = std::numeric_limits<std::int32_t>::min();

struct Field {
    const char* name;
    Role role;
    const char* label = "";  // Japanese, for messages about it
    bool reset = false;      // DataReset zeroes or empties it
    // Count: the member, and the smallest value a file may give it, checked as
    // soon as it is read (kNoMinimum: checked with the other counts later).
    std::int32_t Dataset::*count = nullptr;
    std::int32_t minimum = kNoMinimum;
    // Array: its access and its bounds, fastest dimension first.
    const ArrayOps* ops = nullptr;
    std::array<Dim, 4> dims{};
    // Fixed16 array or its Block: entries the block has room for (the last
    // dimension), and whether the entry index runs fastest in it.
    std::int32_t capacity = 0;
    bool entryFastest = false;
    const char* blockOf = nullptr;  // Block: the array it holds
    Storage (*storage)(const FileFormat&) = nullptr;
};

// Every field, in the binary file's order.
std::span<const Field> fields();

// The field of that name; the name must be in the table.
const Field& field(const char* name);

// The bounds an array field's counts give it in `d` (rank entries).
std::array<Bounds, 4> boundsOf(const Field& f, const Dataset& d);

// Whether the counts in `d` give the array at least one element (a beam table
// exists only with beams, beam results only with records).
bool held(const Field& f, const Dataset& d);

// How the current generation (".qrn3") holds the field.
Storage currentStorage(const Field& f);

}  // namespace qrn::schema
