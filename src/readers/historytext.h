#pragma once
// The text history file ("*.his", "*.f24"): HISTORY records of node
// displacements, cable tensions and beam results, one value per time step.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "dataset/dataset.h"
#include "dataset/progress.h"
#include "readers/settingsreader.h"

namespace qrn {

struct HistoryReadOptions {
    // Bytes the displacement history may take before the time axis is thinned.
    std::uint64_t memoryLimit = std::numeric_limits<std::uint64_t>::max();
    Progress* progress = nullptr;  // may be null
    int threads = 0;               // parsing threads; 0 = one per processor
    std::size_t windowBytes = 0;   // bytes handled per step; 0 = the default
};

// Reads the history after ReadTopology: fills StepCount, StepMax, TensionMax,
// TensionElem, TensionHist, BeamRecCount, BeamRecInfo, BeamHist and NodeDisp and
// allocates NodePos and NodeTwist0. `n` (thinning step) goes in as 1 and comes out
// as the step used. Throws QrnError when the file cannot be read or the
// displacement history does not fit even with N = 100.
void ReadHistoryText(Dataset& d, const QString& path, const UnitFactors& factors, int& n,
                     const HistoryReadOptions& options = {});

}  // namespace qrn
