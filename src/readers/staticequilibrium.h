#pragma once
// The static-equilibrium time-section file: moves the initial coordinates onto
// the equilibrium shape and sets the initial torsion angles.

#include <QString>

#include "dataset/dataset.h"

namespace qrn {

// Adds the file's offsets to NodePos and replaces NodeTwist0 for the nodes it
// lists; text form ("tmp\sec.file") or binary form ("self.f08"). Throws QrnError
// naming the file when it cannot be read or (binary) does not fit its size.
void ApplyStaticEquilibrium(Dataset& d, const QString& path, double lengthFactor, bool binary);

}  // namespace qrn
