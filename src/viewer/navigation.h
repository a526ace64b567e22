#pragma once
// Node picking and view navigation without a window: the node search over
// the positions of the last frame, the node-information text, the drag rules
// of both display modes and the direction buttons' pan step.

#include <QPointF>
#include <QString>
#include <cstdint>
#include <optional>

#include "dataset/dataset.h"
#include "render/viewerstate.h"

namespace qrn::viewer {

inline constexpr int kNormalViewpointLimit = 50;  // the normal-mode bars' range +-50

struct NodeRef {
    std::int32_t slot = 0;
    std::int32_t node = 0;
    friend constexpr bool operator==(const NodeRef&, const NodeRef&) = default;
};

// A click picks the nearest node within this many pixels of it.
inline constexpr double kPickRadiusPixels = 6.0;

// The node nearest to (x, y) on screen, within kPickRadiusPixels: cable slots
// in order, each from its first node, then the beam slot; of equally near
// nodes the first in that order. Searches ScrX/ScrY of the last frame; a real
// view's nodes at or behind its near plane are not drawn and cannot be picked.
std::optional<NodeRef> findNode(const Dataset& ds, const render::ViewerState& st, double x,
                                double y);

// The picked node's pixel in the drawable area of the last frame; empty when
// the frame holds no drawable position for it.
std::optional<QPointF> nodePixel(const render::ViewerState& st, NodeRef at);

// The node information shown in the menu bar for a node at time step t:
// number, stored displacements (mm), twist in whole degrees, reference
// coordinates and the beam-force records of that node number.
QString nodeInfoText(const Dataset& ds, NodeRef at, int t);

inline const QString kNoNode = QStringLiteral("該当ノードなし");
inline const QString kNodeDataCaption = QStringLiteral("ﾉｰﾄﾞﾃﾞｰﾀ:");

// Left drag in normal mode: the viewpoint bars' new values, each only when it
// stays within +-50 (otherwise that bar is left alone).
struct ViewpointPan {
    std::optional<int> h;
    std::optional<int> v;
};
ViewpointPan panViewpoint(const render::ViewerState& st, double x, double y, int h, int v);

// Left drag in real mode: viewing angles turned by 2 degrees per drawing
// unit from the values at mouse down, wrapped into -180..179. The horizontal
// turn reverses while the view is upside down (|current vertical| >= 91).
struct ViewAngles {
    int h = 0;
    int v = 0;
};
ViewAngles turnView(const render::ViewerState& st, double x, double y, int currentV);

// Right drag: moves the coordinate window so the point grabbed at mouse down
// stays under the mouse.
void moveCentre(render::ViewerState& st, double x, double y);

// One pan-timer tick for direction button k (0..8), 2 / Zoom units a tick
// within the limits.
void panStep(render::ViewerState& st, int k);

}  // namespace qrn::viewer
