#include "render/raster/framejob.h"

#include <algorithm>

#include "render/detail.h"
#include "render/layout.h"
#include "render/viewer.h"

namespace qrn::render {

FrameJob::FrameJob(Dataset& ds, const FrameOptions& o)
    : ds_(ds), mode_(o.mode), c_(ControlValues::initial(o.mode)) {
    const ViewMode mode = mode_;
    ViewerState& st = st_;
    ControlValues& c = c_;
    const QSize client = o.window.value_or(initialClientSize(mode));
    loadViewer(mode, ds, st, c);
    activateViewer(mode, client, ds, st, c, canvas_);

    // Typed into the opened viewer, "横向" first so that an explicit first
    // box still wins. Corrections apply; the picture is drawn once, below.
    auto set = [&](Control control) { settleChange(mode, control, c, st); };
    if (o.sideways) {
        c.Check1 = true;
        set(Control::Check1);
    }
    auto text = [&](const std::optional<QString>& value, QString& box, Control control) {
        if (!value) return;
        box = *value;
        set(control);
    };
    text(o.p1, c.Text1[0], Control::Text1_0);
    text(o.p2, c.Text1[1], Control::Text1_1);
    text(o.markers, c.Text1[2], Control::Text1_2);
    if (o.markerSize) c.Slider2 = std::clamp(*o.markerSize, kSlider2Min, kSlider2Max);
    text(o.twistScale, c.Text2, Control::Text2);
    text(o.lineWidth, c.Text4, Control::Text4);
    text(o.dispScale, c.Text7, Control::Text7);
    if (o.nearLow && mode == ViewMode::Normal) c.Check3 = 1;
    c.Check2 = o.trace;
    if (o.zoom) c.Slider1 = std::clamp(*o.zoom, kSlider1Min, kSlider1Max);
    if (o.h) c.HScroll2 = clampToScroll(hScroll2Spec(mode), *o.h);
    if (o.v) c.VScroll1 = clampToScroll(vScroll1Spec(mode), *o.v);
    if (o.nodeRange) {
        c.Text3[0] = o.nodeRange->first;
        c.Text3[1] = o.nodeRange->second;
    }
    if (o.pan) {
        st.PanX = detail::f32(o.pan->first);
        st.PanY = detail::f32(o.pan->second);
    }

    layoutPass(mode, client, ds, st, c, canvas_);
    setTimeStep(o.timeStep);
}

int FrameJob::stepMax() const { return std::max(ds_.StepMax, 0); }

void FrameJob::setTimeStep(int step) {
    // Moving the time bar draws that step; the bar at the same value draws nothing new.
    const int t = std::clamp(step, 0, stepMax());
    if (t == c_.HScroll1) return;
    c_.HScroll1 = t;
    HiDrow(mode_, ds_, st_, c_, canvas_);
}

QByteArray FrameJob::points() const { return projectedPointsText(ds_, st_); }

FrameResult renderFrame(Dataset& ds, const FrameOptions& o) {
    FrameJob job(ds, o);
    FrameResult out;
    out.end = job.lastFrame();
    out.image = job.image();
    if (o.wantPoints) out.points = job.points();
    return out;
}

}  // namespace qrn::render
