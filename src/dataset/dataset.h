#pragma once
// The shared dataset: node table, initial geometry, beam elements and the time
// histories, with the counts that bound them. One object owned by the
// application and passed by reference; every read fills a fresh one.
//
// Counts are 32-bit in memory so that analyses beyond 16-bit sizes load; the
// places that must store 16 bits check the range themselves.

#include <QString>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "dataset/barray.h"

namespace qrn {

// Displacements and angles are stored x 1000: millimetres for metres, thousandths
// of a radian for radians.
inline constexpr double kStorageScale = 1000.0;

class Dataset {
  public:
    // --- scalars ---
    std::int32_t CableMax = 0;
    std::int32_t NodeTblMax = 0;
    std::int32_t NodeMax = 0;
    std::int32_t BeamElemMax = 0;
    std::int32_t BeamNodeMax = 0;
    std::int32_t StepCount = 0;
    std::int32_t StepMax = 0;
    std::int32_t TensionMax = 0;
    std::int32_t BeamRecCount = 0;
    std::int32_t FirstNode = 0;
    std::int32_t LastNode = 0;
    std::int32_t HeadSpare = 0;
    QString DirPath;  // chosen folder, always ending in the native separator

    // --- arrays (bounds inclusive, first index fastest) ---
    BArray<std::int32_t, 2> NodeTbl;      // [0..2, 0..NodeTblMax]: number, slot, index
    BArray<std::int32_t, 2> CableInfo;    // [0..1, 0..CableMax]: far-end node, element count
    BArray<std::int32_t, 3> BeamElem;     // [0..1 end, 0..1 (slot,index), 0..BeamElemMax]
    BArray<float, 3> NodePos;             // [0..CableMax+1, 0..2, 0..NodeMax] metres
    BArray<float, 2> NodeTwist0;          // [0..CableMax+1, 0..NodeMax] rad x 1000
    BArray<std::int32_t, 4> NodeDisp;     // [0..CableMax+1, -1..2, 0..NodeMax, 0..T]
    BArray<std::int16_t, 2> TensionHist;  // [0..T, 0..TensionMax] kgf
    BArray<std::int32_t, 1> TensionElem;  // [0..TensionMax]
    BArray<std::int16_t, 2> BeamHist;     // [0..T, 0..BeamRecCount-1]
    BArray<std::int32_t, 2> BeamRecInfo;  // [0..1, 0..BeamRecCount-1]: element, digit

    // Empties the arrays and zeroes the counts the schema marks for a reset
    // (dataset/schema.h); TensionElem, BeamHist, BeamRecInfo, TensionMax,
    // BeamRecCount, NodeMax, StepCount and DirPath are left as they are.
    void DataReset();

    // Looks an analysis node number up: Kukan = -1 when unknown (LinNo then
    // keeps the caller's value), else slot and index of the first entry.
    void NodeCHK(std::int32_t NodeNo, std::int32_t& LinNo, std::int32_t& Kukan) const;

    // Node number of the first entry at (LinNo, Kukan); empty when none.
    std::optional<std::int32_t> NodeNoOf(std::int64_t LinNo, std::int64_t Kukan) const;

    // Appends the entry (number, slot, index) to NodeTbl, growing it.
    void appendNode(std::int32_t number, std::int32_t slot, std::int32_t index);

    // Cuts NodeTbl's capacity back to exactly 0..NodeTblMax (readers grow it
    // geometrically; the binary dataset file stores it over its exact bounds).
    void trimNodeTable();

    // True when every count and array of the schema (bounds and values) and DirPath are equal.
    bool sameContent(const Dataset& other) const;

    // Must be called after NodeTbl was replaced or edited other than through
    // appendNode, so that the lookups see the new table.
    void invalidateNodeIndex() const;

  private:
    void extendIndex() const;

    // Lookup indexes, extended lazily over NodeTbl entries 0..indexedUpTo_-1;
    // insertion keeps the first entry of a number.
    mutable std::unordered_map<std::int32_t, std::int32_t> byNumber_;
    mutable std::unordered_map<std::int64_t, std::int32_t> byPosition_;
    mutable std::int64_t indexedUpTo_ = 0;
    mutable const std::int32_t* indexedData_ = nullptr;
};

}  // namespace qrn
