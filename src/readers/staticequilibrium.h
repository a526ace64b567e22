#pragma once
// The static-equilibrium time-section file: moves the initial coordinates onto
// the equilibrium shape and sets the initial torsion angles.

#include <QString>

#include "dataset/dataset.h"
#include "dataset/progress.h"

namespace qrn {

// Adds the file's offsets to NodePos and replaces NodeTwist0 for the nodes it
// lists; text form ("tmp\sec.file") or binary form ("self.f08"). Throws QrnError
// naming the file when it cannot be read or (binary) does not fit its size;
// Cancelled when `progress` asks to stop.
void ApplyStaticEquilibrium(Dataset& d, const QString& path, double lengthFactor, bool binary,
                            Progress* progress = nullptr);

}  // namespace qrn
