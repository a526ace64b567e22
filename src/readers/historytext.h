#pragma once
// The text history file ("*.his", "*.f24"): HISTORY records of node
// displacements, cable tensions and beam results, one value per time step.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

#include "dataset/dataset.h"
#include "dataset/progress.h"
#include "readers/histories.h"
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
// as the step used.
// A file cut short (its last line has no line end and its last record holds
// fewer values than its count line states) keeps the steps every record holds
// and returns how many (HistoryCut); StepCount is then that number, as if the
// file had stated it. A last record without one whole value is left out. Throws QrnError when the
// file is empty, when no step is complete, when it cannot be read or the displacement history does
// not fit even with N = 100; throws Cancelled when options.progress asks to stop.
std::optional<HistoryCut> ReadHistoryText(Dataset& d, const QString& path,
                                          const UnitFactors& factors, int& n,
                                          const HistoryReadOptions& options = {});

}  // namespace qrn
