#pragma once
// Drawing one frame: project every node of the time step, keep the tension
// read-outs, then draw cables, markers and beams onto a Canvas. One function
// serves the window, the clipboard copy, the GIF export and qrnconv.

#include "dataset/dataset.h"
#include "render/canvas.h"
#include "render/viewerstate.h"
#include "render/viewparams.h"

namespace qrn::render {

// Draws time step p.timeStep with the projection computeProjection left in
// `st`. Normal mode ends the frame at the first value it cannot draw; real
// mode skips such a value (a pixel point keeps its previous value) and goes on.
FrameEnd drawFrame(ViewMode mode, const Dataset& ds, ViewerState& st, const ViewParams& p,
                   Canvas& cv);

// Markers: a circle of radius kMarkerRadius / (kMarkerSizeBase - size) / zoom
// at every markerStep-th node, with a twist bar of half length
// kTwistBarHalfLength / (kMarkerSizeBase - size) / zoom. Their colours run
// through kMarkerColours palette entries, restarting on every cable.
inline constexpr double kMarkerSizeBase = 6.0;
inline constexpr double kMarkerRadius = 0.3;
inline constexpr double kTwistBarHalfLength = 2.0;
inline constexpr int kMarkerColours = 7;

// The clearance overlay: a red line of this width between its two points,
// each ringed by a circle of radius kClearanceRing / zoom, large enough to
// find a clearance of a few metres in a view of a whole span.
inline constexpr Rgb kClearanceColour = kPalette[12];
inline constexpr int kClearanceLineWidth = 2;
inline constexpr double kClearanceRing = 1.5;

}  // namespace qrn::render
