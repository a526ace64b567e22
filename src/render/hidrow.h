#pragma once
// Drawing one frame: project every node of the time step on the time bar,
// keep the tension read-outs, then draw cables, markers and beams onto a
// Canvas. One function serves the window, the clipboard copy, the GIF export
// and qrnconv.

#include "dataset/dataset.h"
#include "render/canvas.h"
#include "render/controls.h"
#include "render/viewerstate.h"

namespace qrn::render {

// Normal-mode frame (depth multipliers of JousuNormal).
FrameEnd HiDrowNormal(const Dataset& ds, ViewerState& st, const ControlValues& c, Canvas& cv);

// Real-mode frame (projection of JousuReal). A value that cannot be drawn is
// skipped: a pixel point keeps its previous value and drawing continues.
FrameEnd HiDrowReal(const Dataset& ds, ViewerState& st, const ControlValues& c, Canvas& cv);

FrameEnd HiDrow(ViewMode mode, const Dataset& ds, ViewerState& st, const ControlValues& c,
                Canvas& cv);

// Marker colours of one cable, in order: palette indices 3, 4, 5, 6, 7, 1, 2, 3, ...
int markerPaletteIndex(int markerOrdinal);

}  // namespace qrn::render
