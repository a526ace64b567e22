#pragma once
// Per-view precomputation, run whenever the view parameters change:
// normal mode fills the depth multipliers, real mode the perspective base
// positions and displacement coefficients. Neither draws.

#include "dataset/dataset.h"
#include "render/viewerstate.h"
#include "render/viewparams.h"

namespace qrn::render {

// Normal mode. Returns false when the marker spacing does not fit 16 bits:
// the computation stops there (the two ratios read before it are kept) and
// the caller draws no frame. Also false when the dataset holds no geometry.
bool computeNormalProjection(const Dataset& ds, ViewerState& st, const ViewParams& p);

// Real mode. A statement that fails is skipped and the rest still runs
// (a marker spacing beyond 16 bits keeps the previous MarkerStep); nodes on
// the eye plane get infinite or NaN values, which the frame drawing skips.
// Marks the nodes at or behind the near plane in BehindEye.
// Returns false only when the dataset holds no geometry.
bool computeRealProjection(const Dataset& ds, ViewerState& st, const ViewParams& p);

bool computeProjection(ViewMode mode, const Dataset& ds, ViewerState& st, const ViewParams& p);

// Pi as the real-mode projection writes it, and as the node information
// writes it when it turns a twist into degrees: two roundings, each kept so
// that pictures and captions stay as they always were.
inline constexpr double kPiApprox = 3.1415926;

// The real mode's near plane: a node whose depth in front of the eye is not
// above this fraction of the view distance is projected through the eye (or
// nearly so) and cannot be drawn.
inline constexpr double kNearPlaneFraction = 0.01;
inline constexpr double kPiNodeInfo = 3.1416;

}  // namespace qrn::render
