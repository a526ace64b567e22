#include "viewer/framejob.h"

#include <algorithm>

#include "render/detail.h"
#include "render/layout.h"
#include "render/viewer.h"

namespace qrn::viewer {

FrameJob::FrameJob(Dataset& ds, const FrameOptions& o)
    : ds_(ds), mode_(o.mode), form_(ViewForm::initial(o.mode)) {
    const ViewMode mode = mode_;
    render::ViewerState& st = st_;
    ViewForm& f = form_;
    const QSize client = o.window.value_or(render::initialClientSize(mode));
    render::loadViewer(mode, ds, st, f.params());
    activateView(mode, client, ds, st, f, params_, canvas_);

    // Typed into the opened viewer, "横向" first so that an explicit first
    // box still wins. Corrections apply; the picture is drawn once, below.
    auto set = [&](ViewControl control) { settleChange(mode, control, f, st); };
    if (o.sideways) {
        f.sideways = true;
        set(ViewControl::Sideways);
    }
    auto type = [&](const std::optional<QString>& text, ViewControl control) {
        if (!text) return;
        f.setText(control, *text);
        set(control);
    };
    type(o.perspectiveRatio, ViewControl::PerspectiveRatio);
    type(o.nearScale, ViewControl::NearScale);
    type(o.markerStep, ViewControl::MarkerStep);
    if (o.markerSize)
        f.markerSize = std::clamp(*o.markerSize, render::kMarkerSizeMin, render::kMarkerSizeMax);
    type(o.twistScale, ViewControl::TwistScale);
    type(o.lineWidth, ViewControl::LineWidth);
    type(o.dispScale, ViewControl::DispScale);
    if (o.nearLow && mode == ViewMode::Normal) f.nearLow = true;
    f.trace = o.trace;
    if (o.zoomLevel)
        f.zoomLevel = std::clamp(*o.zoomLevel, render::kZoomLevelMin, render::kZoomLevelMax);
    if (o.azimuth) f.azimuth = clampToScroll(azimuthScroll(mode), *o.azimuth);
    if (o.elevation) f.elevation = clampToScroll(elevationScroll(mode), *o.elevation);
    if (o.nodeRange) {
        f.firstNode = o.nodeRange->first;
        f.lastNode = o.nodeRange->second;
    }
    if (o.pan) {
        st.PanX = render::detail::f32(o.pan->first);
        st.PanY = render::detail::f32(o.pan->second);
    }

    params_ = f.params();
    render::layoutPass(mode, client, ds, st, params_, canvas_);
    setTimeStep(o.timeStep);
}

int FrameJob::stepMax() const { return render::timeStepMaximum(ds_); }

void FrameJob::setTimeStep(int step) {
    // Moving the time bar draws that step; the bar at the same value draws nothing new.
    const int t = std::clamp(step, 0, stepMax());
    if (t == form_.timeStep) return;
    form_.timeStep = t;
    updateParams(params_, form_, ViewControl::TimeStep);
    render::drawFrame(mode_, ds_, st_, params_, canvas_);
}

QByteArray FrameJob::points() const { return render::projectedPointsText(ds_, st_); }

FrameResult renderFrame(Dataset& ds, const FrameOptions& o) {
    FrameJob job(ds, o);
    FrameResult out;
    out.end = job.lastFrame();
    out.image = job.image();
    if (o.wantPoints) out.points = job.points();
    return out;
}

}  // namespace qrn::viewer
