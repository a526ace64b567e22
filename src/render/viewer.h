#pragma once
// The viewer's operations that involve no widget: loading and activating the
// window's state, the layout pass, running the effect of a control change,
// the screen-copy text, the bottom bar's texts and the projected-point list.
// The window calls these and copies the results into its widgets:
//
//   load:      loadViewer, then activateViewer with the client size
//   activate:  activateViewer (also after returning from another window)
//   resize:    layoutPass (apply geometry: picture, panels, title)
//   a control changed: onControlChange; write back the boxes it rewrote
//              (their own change events follow), then runEffect
//   pan/drag:  change PanX/PanY and st.Window, then HiDrow
//   paint:     draw the canvas's image inside the picture's border
//   copy:      screenCopyText, then the canvas's image to the clipboard
//   after every frame: show st.TensionText, st.GaugeMax, st.GaugeValue

#include <QByteArray>
#include <QSize>
#include <QString>

#include "dataset/dataset.h"
#include "render/canvas.h"
#include "render/controls.h"
#include "render/hidrow.h"
#include "render/jousu.h"
#include "render/layout.h"
#include "render/viewerstate.h"

namespace qrn::render {

// Window load: re-create DepthMul and copy the three parameter boxes into
// PerspRatio/EyeDist, NearScale/CentreWidth and MarkerStep.
void loadViewer(ViewMode mode, const Dataset& ds, ViewerState& st, const ControlValues& c);

// Jousu, then HiDrow (no frame when Jousu stopped).
FrameEnd recompute(ViewMode mode, const Dataset& ds, ViewerState& st, const ControlValues& c,
                   Canvas& cv);

// The layout pass for client area `client`: resizes the canvas, sets the
// layout numbers, FirstNode/LastNode, recomputes and draws. Returns the
// geometry (picture, panels, title) for the window to apply.
LayoutGeometry layoutPass(ViewMode mode, QSize client, Dataset& ds, ViewerState& st,
                          const ControlValues& c, Canvas& cv);

struct Activation {
    int timeBarMax = 0;               // HScroll1 maximum (StepMax)
    bool nodeButtonsVisible = false;  // Image3(0..1)
    QString nodeLabel;                // "ﾉｰﾄﾞNo." + element number
    LayoutGeometry geometry;
};

// Window activation: every step is attempted even when an earlier one
// fails. Updates the node-range boxes and clamps the time bar value in `c`,
// sets GaugeMax, StepInc and TensSel in `st`, and runs the layout pass.
Activation activateViewer(ViewMode mode, QSize client, Dataset& ds, ViewerState& st,
                          ControlValues& c, Canvas& cv);

// Runs what a control change asks for that draws: Redraw, Recompute,
// Layout (with st.Client), Viewpoint, Time and LineWidthRedraw. The others
// (None, StepInc, Wait) only concern widgets and do nothing here.
void runEffect(Effect effect, ViewMode mode, Dataset& ds, ViewerState& st, const ControlValues& c,
               Canvas& cv);

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
