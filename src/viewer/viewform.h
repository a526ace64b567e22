#pragma once
// The viewer's controls as a form model: what each control holds, its initial
// value per display mode, what a change of it does (the corrections of the
// boxes included), and the typed view parameters the controls give. The
// viewer window and qrnconv's view options both go through it; the drawing
// core only ever sees the parameters.

#include <QSize>
#include <QString>
#include <vector>

#include "dataset/dataset.h"
#include "render/canvas.h"
#include "render/viewer.h"
#include "render/viewerstate.h"
#include "render/viewparams.h"

namespace qrn::viewer {

using render::ViewMode;

// The controls, by what they hold.
enum class ViewControl {
    PerspectiveRatio,
    NearScale,
    MarkerStep,
    NearLow,
    Sideways,
    TwistScale,
    FirstNode,
    LastNode,
    LineWidth,
    DrawStep,
    Wait,
    DispScale,
    Trace,
    Repeat,
    ZoomLevel,
    MarkerSize,
    Azimuth,
    Elevation,
    TimeStep,
};

struct ViewForm {
    // The parameter boxes; the first two mean different things per mode
    // (render::ViewParams says which).
    QString perspectiveRatio;
    bool perspectiveRatioEnabled = true;  // off while "横向" is set
    QString nearScale;
    QString markerStep;
    int markerSize = render::kMarkerSizeMin;  // "サイズ" slider
    QString twistScale;
    bool twistScaleEnabled = true;  // off while "横向" is set
    bool sideways = false;
    QString lineWidth;
    QString drawStep;  // "描画ｽﾃｯﾌﾟ": time steps per playback frame
    QString dispScale;
    QString wait;  // "動作ｳｪｲﾄ": playback wait in 10 ms
    bool trace = false;
    bool nearLow = false;  // normal mode only
    QString firstNode;
    QString lastNode;
    int zoomLevel = render::kZoomLevelMin;  // "表示ｻｲｽﾞ" slider
    int azimuth = 0;                        // the horizontal viewpoint bar
    int elevation = 0;                      // the vertical viewpoint bar
    int timeStep = 0;                       // the time bar
    bool repeat = false;                    // "ﾘﾋﾟｰﾄ"

    static ViewForm initial(ViewMode mode);

    // Stores what a control now shows: a box's text, a slider's or bar's
    // position, a check box's tick. A control of another kind is left alone.
    void setText(ViewControl control, const QString& text);
    void setValue(ViewControl control, int value);
    void setChecked(ViewControl control, bool on);

    // The view parameters, every box read once: its leading number, and
    // where the drawing needs 16 bits that number rounded (empty beyond).
    render::ViewParams params() const;
};

// A scroll bar's range; `min` is the value at the left or top end and may
// exceed `max`.
struct ScrollSpec {
    int min = 0;
    int max = 0;
    int initial = 0;
};
ScrollSpec azimuthScroll(ViewMode mode);
ScrollSpec elevationScroll(ViewMode mode);
// Clamps a value into a scroll bar's range (either end may be the larger).
int clampToScroll(const ScrollSpec& spec, int value);

// What the viewer does after a control changed.
enum class Effect {
    None,
    Redraw,           // draw the frame
    Recompute,        // compute the projection, then draw
    Layout,           // the layout pass
    Viewpoint,        // a viewpoint bar moved
    Time,             // the time step changed: time read-out, then draw
    LineWidthRedraw,  // picture line width := "線の太さ", then draw
    StepInc,          // StepInc was set: time bar small change := StepInc
    Wait,             // the playback wait changed
};

struct ChangeOutcome {
    Effect effect = Effect::None;
    // Boxes whose text the handler replaced; each such change is handled in
    // turn as a change of that box (as the text-change event would).
    std::vector<ViewControl> rewritten;
};

// The change handler of one control: validates, corrects box texts in
// `form` and reports the effect. "描画ｽﾃｯﾌﾟ" also sets state.StepInc.
ChangeOutcome onControlChange(ViewMode mode, ViewControl control, ViewForm& form,
                              render::ViewerState& state);

// Runs the change of `control` and every change its corrections raise, in
// event order, and returns the effects to run, in order.
std::vector<Effect> settleChange(ViewMode mode, ViewControl control, ViewForm& form,
                                 render::ViewerState& state);

// Brings `params` up to date after `control` changed and settled: the time
// bar alone moves only the time step (playback changes nothing else); any
// other change reads the form again.
void updateParams(render::ViewParams& params, const ViewForm& form, ViewControl control);

// Runs what an effect draws: Redraw, Recompute, Layout (with st.Client),
// Viewpoint, Time and LineWidthRedraw. The others (None, StepInc, Wait)
// only concern widgets and do nothing here.
void runEffect(Effect effect, ViewMode mode, Dataset& ds, render::ViewerState& st,
               const render::ViewParams& params, render::Canvas& cv);

// Window activation: the time bar's value is held within the data, the node
// range boxes show the first cable's nodes, StepInc follows "描画ｽﾃｯﾌﾟ", then
// the core's activation runs with the parameters, which `params` receives.
render::Activation activateView(ViewMode mode, QSize client, Dataset& ds, render::ViewerState& st,
                                ViewForm& form, render::ViewParams& params, render::Canvas& cv);

}  // namespace qrn::viewer
