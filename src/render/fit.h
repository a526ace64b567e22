#pragma once
// "全体表示": the display size and pan offsets that show the whole model at
// rest (every displacement zero) in the picture, with the view's own
// projection. When even the smallest display size cannot hold it, the
// picture's scale (the second parameter box, metres across the picture) grows
// to a round value that can.

#include <QSize>
#include <optional>

#include "dataset/dataset.h"
#include "render/layout.h"
#include "render/viewerstate.h"
#include "render/viewparams.h"

namespace qrn::render {

// Pixels kept free between the model and each edge of the drawable area.
inline constexpr int kFitMarginPixels = 6;

struct ViewFit {
    int zoomLevel = kZoomLevelMin;
    float panX = 0.0f;
    float panY = 0.0f;
    // The second parameter box's new value, when the current one cannot show
    // the whole model at the smallest display size.
    std::optional<double> scale;
    // False when no setting holds the whole model: a real view with nodes at
    // or behind its near plane (the eye is inside the model), which gets the
    // widest view centred on the model, or a normal view whose skew alone is
    // wider than the picture, which gets the model centred.
    bool whole = true;
};

// `st` holds the projection computed for `p` (computeProjection); `picture`
// is the picture's outer size, of whose drawable area the lowest
// `hiddenRows` rows lie under the bottom bar. Empty when there is nothing to
// fit (no geometry, no projection, no finite node).
std::optional<ViewFit> fitView(ViewMode mode, const Dataset& ds, const ViewerState& st,
                               const ViewParams& p, QSize picture, int hiddenRows = 0);

// Real view with the eye inside the model: the smallest round view distance
// above the current one that puts every drawn node at least half of it ahead
// of the eye (`st` holds the projection's centre), or empty when none up to
// 10,000 km does or the distance is not positive.
std::optional<double> viewDistanceClearOfModel(const Dataset& ds, const ViewerState& st,
                                               const ViewParams& p);

// Rows of the drawable area that the bottom bar covers.
int hiddenPictureRows(const LayoutGeometry& g);

}  // namespace qrn::render
