#pragma once
// The viewer's operations that involve no widget: loading and activating the
// viewer's state, the layout pass, recomputing after the view changed, the
// screen-copy text, the bottom bar's texts and the projected-point list. All
// take the view parameters as numbers; the viewer layer's form model turns
// the controls into them. The viewer calls these and shows the results:
//
//   load:      loadViewer, then activateViewer with the client size
//   activate:  activateViewer (also after returning from another window)
//   resize:    layoutPass (apply geometry: picture, panels, title)
//   a control changed: recompute, drawFrame, layoutPass or
//              viewpointChanged, as the form model's rules say
//   pan/drag:  change PanX/PanY and st.Window, then drawFrame
//   paint:     draw the canvas's image inside the picture's border
//   copy:      screenCopyText, then the canvas's image to the clipboard
//   after every frame: show st.TensionText, st.GaugeMax, st.GaugeValue

#include <QByteArray>
#include <QSize>
#include <QString>

#include "dataset/dataset.h"
#include "render/canvas.h"
#include "render/frame.h"
#include "render/layout.h"
#include "render/projection.h"
#include "render/viewerstate.h"
#include "render/viewparams.h"

namespace qrn::render {

// Window load: re-create DepthMul and copy the three parameter boxes into
// PerspRatio/EyeDist, NearScale/CentreWidth and MarkerStep.
void loadViewer(ViewMode mode, const Dataset& ds, ViewerState& st, const ViewParams& p);

// computeProjection, then drawFrame (no frame when a normal-mode projection
// stopped).
FrameEnd recompute(ViewMode mode, const Dataset& ds, ViewerState& st, const ViewParams& p,
                   Canvas& cv);

// The viewpoint moved: normal mode places the coordinate window and draws,
// real mode recomputes the projection for the new angles.
FrameEnd viewpointChanged(ViewMode mode, const Dataset& ds, ViewerState& st, const ViewParams& p,
                          Canvas& cv);

// The layout pass for client area `client`: resizes the canvas, sets the
// layout numbers, FirstNode/LastNode, recomputes and draws. Returns the
// geometry (picture, panels, title) for the window to apply.
LayoutGeometry layoutPass(ViewMode mode, QSize client, Dataset& ds, ViewerState& st,
                          const ViewParams& p, Canvas& cv);

// The time bar's maximum: the last time step (0 without any).
int timeStepMaximum(const Dataset& ds);

struct Activation {
    int timeBarMax = 0;               // timeStepMaximum
    bool nodeButtonsVisible = false;  // the tension node buttons
    QString nodeLabel;                // "ﾉｰﾄﾞNo." + element number
    LayoutGeometry geometry;
};

// Window activation: every step is attempted even when an earlier one
// fails. Sets GaugeMax and TensSel in `st` and runs the layout pass. The
// form model has already put the time step within the time bar and the node
// range to the first cable's nodes in `p`.
Activation activateViewer(ViewMode mode, QSize client, Dataset& ds, ViewerState& st,
                          const ViewParams& p, Canvas& cv);

// Screen copy, normal mode: prints the copyright line into the picture in
// black (which stays the polyline colour). `pictureOuterHeight` is the
// picture's outer height in pixels. Real mode prints nothing.
void screenCopyText(ViewMode mode, const ViewerState& st, Canvas& cv, int pictureOuterHeight,
                    int year);
QString screenCopyLine(int year);

// Bottom bar.
QString timeDisplayText(double intervalSeconds, int timeStep);  // "###0.00"
QString nodeLabelText(const Dataset& ds, std::int32_t record);  // "ﾉｰﾄﾞNo." + element
struct NodeChange {
    QString nodeLabel;
    QString tensionText;  // "###0kg" of the new record at the time step
};
// Node-change button i (0 previous, 1 next): moves TensSel round the records.
NodeChange changeTensionNode(const Dataset& ds, ViewerState& st, int button, int timeStep);

// One line "slot,index,node,ScrX,ScrY" per projected node of the last frame:
// cable slots in order, then the beam slot; node empty when no node-table
// entry holds that position.
QByteArray projectedPointsText(const Dataset& ds, const ViewerState& st);

}  // namespace qrn::render
