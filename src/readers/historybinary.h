#pragma once
// The binary history file ("*.f08") of the analysis program's Pro edition:
// fixed-layout step records of node displacements and cable tensions.

#include <QString>
#include <cstdint>

#include "dataset/dataset.h"
#include "dataset/progress.h"
#include "readers/settingsreader.h"

namespace qrn {

// Reads the history after ReadTopology: sets StepCount, StepMax, NodeDisp,
// TensionMax, TensionElem and TensionHist, allocates NodePos and NodeTwist0,
// reports progress, and returns the file's calculation interval. `n` (thinning step)
// goes in as 1 and comes out as the step used. A file whose offsets, counts or
// lengths do not fit its size throws QrnError naming it; nothing is read
// outside the file. Throws Cancelled when `progress` asks to stop.
double ReadHistoryBinary(Dataset& d, const QString& path, const UnitFactors& factors, int& n,
                         Progress& progress, std::uint64_t memoryLimit);

}  // namespace qrn
