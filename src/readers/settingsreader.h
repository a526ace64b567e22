#pragma once
// The settings file ("st.dat", "self.dat"): units, cable and beam elements and
// node coordinates. Read in two passes around the history reader.

#include <QString>
#include <cstdint>
#include <limits>

#include "dataset/dataset.h"
#include "dataset/progress.h"

namespace qrn {

// Scale factors of the whole read, taken from the settings file's unit line.
struct UnitFactors {
    double force = 1.0;   // 1 for "KG", 1000 for "T"
    double length = 1.0;  // 1 for "M", 0.01 for "CM"
};

// Fills the node table, cables, beams and the counts that bound them on a freshly
// reset dataset; leaves StepCount = BeamRecCount = 0, TensionMax = -1 and one
// tension element 0. Throws QrnError when the file cannot be read, Cancelled
// when `progress` asks to stop.
UnitFactors ReadTopology(Dataset& data, const QString& path, Progress* progress = nullptr);

// False when the settings read defined neither a cable nor a beam element:
// the file is no settings file or was cut before its elements.
bool definesElements(const Dataset& data);

// Settings-only read: histories for a single frame, all zero. Throws QrnError
// (title "メモリー不足") naming `path` when the frame's displacement array would
// take more than memoryLimit bytes.
void AllocSettingsOnly(Dataset& data,
                       std::uint64_t memoryLimit = std::numeric_limits<std::uint64_t>::max(),
                       const QString& path = {});

// Fills NodePos from the node section (after the histories were allocated).
// Throws Cancelled when `progress` asks to stop.
void ReadCoordinates(Dataset& data, const QString& path, double lengthFactor,
                     Progress* progress = nullptr);

}  // namespace qrn
