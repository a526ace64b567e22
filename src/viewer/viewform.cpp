#include "viewer/viewform.h"

#include <algorithm>
#include <deque>
#include <optional>

#include "dataset/numbers.h"

namespace qrn::viewer {

namespace {

// A box as a number: its leading decimal number.
double boxValue(const QString& text) { return num::leadingValue(text); }

// A box as the drawing's 16-bit number: empty when it does not fit.
std::optional<std::int16_t> boxInt16(const QString& text) {
    return num::roundToInt16(num::leadingValue(text));
}

const QString kInitialPerspectiveNormal = QStringLiteral("3");
const QString kInitialViewDistanceReal = QStringLiteral("300");

QString initialFirstBox(ViewMode mode) {
    return mode == ViewMode::Real ? kInitialViewDistanceReal : kInitialPerspectiveNormal;
}

}  // namespace

ViewForm ViewForm::initial(ViewMode mode) {
    ViewForm f;
    f.perspectiveRatio = initialFirstBox(mode);
    f.nearScale = QStringLiteral("50");
    f.markerStep = QStringLiteral("2");
    f.twistScale = QStringLiteral("1");
    f.lineWidth = QStringLiteral("1");
    f.drawStep = QStringLiteral("1");
    f.dispScale = QStringLiteral("1");
    f.wait = QStringLiteral("0");
    f.firstNode = QStringLiteral("0");
    f.lastNode = QStringLiteral("1");
    f.azimuth = azimuthScroll(mode).initial;
    f.elevation = elevationScroll(mode).initial;
    return f;
}

render::ViewParams ViewForm::params() const {
    render::ViewParams p;
    p.perspectiveRatio = boxValue(perspectiveRatio);
    p.nearScale = boxValue(nearScale);
    p.markerStep = boxInt16(markerStep);
    p.markerSize = markerSize;
    p.twistScale = boxInt16(twistScale);
    p.lineWidth = boxInt16(lineWidth);
    p.dispScale = boxValue(dispScale);
    p.sideways = sideways;
    p.trace = trace;
    p.nearLow = nearLow;
    p.firstNode = boxInt16(firstNode);
    p.lastNode = boxInt16(lastNode);
    p.zoomLevel = zoomLevel;
    p.azimuth = azimuth;
    p.elevation = elevation;
    p.timeStep = timeStep;
    return p;
}

ScrollSpec azimuthScroll(ViewMode mode) {
    return mode == ViewMode::Real ? ScrollSpec{-180, 180, 5} : ScrollSpec{-50, 50, -40};
}

ScrollSpec elevationScroll(ViewMode mode) {
    return mode == ViewMode::Real ? ScrollSpec{-180, 180, 0} : ScrollSpec{50, -50, 0};
}

int clampToScroll(const ScrollSpec& spec, int value) {
    return std::clamp(value, std::min(spec.min, spec.max), std::max(spec.min, spec.max));
}

void ViewForm::setText(ViewControl control, const QString& text) {
    QString* box = nullptr;
    switch (control) {
        case ViewControl::PerspectiveRatio:
            box = &perspectiveRatio;
            break;
        case ViewControl::NearScale:
            box = &nearScale;
            break;
        case ViewControl::MarkerStep:
            box = &markerStep;
            break;
        case ViewControl::TwistScale:
            box = &twistScale;
            break;
        case ViewControl::FirstNode:
            box = &firstNode;
            break;
        case ViewControl::LastNode:
            box = &lastNode;
            break;
        case ViewControl::LineWidth:
            box = &lineWidth;
            break;
        case ViewControl::DrawStep:
            box = &drawStep;
            break;
        case ViewControl::Wait:
            box = &wait;
            break;
        case ViewControl::DispScale:
            box = &dispScale;
            break;
        default:
            break;
    }
    if (box) *box = text;
}

void ViewForm::setValue(ViewControl control, int value) {
    switch (control) {
        case ViewControl::ZoomLevel:
            zoomLevel = value;
            break;
        case ViewControl::MarkerSize:
            markerSize = value;
            break;
        case ViewControl::Azimuth:
            azimuth = value;
            break;
        case ViewControl::Elevation:
            elevation = value;
            break;
        case ViewControl::TimeStep:
            timeStep = value;
            break;
        default:
            break;
    }
}

void ViewForm::setChecked(ViewControl control, bool on) {
    switch (control) {
        case ViewControl::Sideways:
            sideways = on;
            break;
        case ViewControl::Trace:
            trace = on;
            break;
        case ViewControl::NearLow:
            nearLow = on;
            break;
        case ViewControl::Repeat:
            repeat = on;
            break;
        default:
            break;
    }
}

namespace {

// Replaces a box's text; like a text box, only a real change raises a change event.
void rewrite(QString& box, const QString& text, ViewControl which, ChangeOutcome& out) {
    if (box == text) return;
    box = text;
    out.rewritten.push_back(which);
}

}  // namespace

ChangeOutcome onControlChange(ViewMode mode, ViewControl control, ViewForm& f,
                              render::ViewerState& state) {
    ChangeOutcome out;
    const bool real = mode == ViewMode::Real;
    switch (control) {
        case ViewControl::NearLow:
            if (real) break;  // the real-mode viewer has no such box
            [[fallthrough]];
        case ViewControl::PerspectiveRatio:
        case ViewControl::NearScale:
        case ViewControl::MarkerStep:
            if (boxValue(f.perspectiveRatio) == 0.0) {
                rewrite(f.perspectiveRatio, QStringLiteral("2"), ViewControl::PerspectiveRatio,
                        out);
            } else if (boxValue(f.nearScale) == 0.0) {
                rewrite(f.nearScale, QStringLiteral("5"), ViewControl::NearScale, out);
            } else {
                out.effect = Effect::Recompute;
            }
            break;
        case ViewControl::Sideways:
            if (f.sideways) {
                rewrite(f.perspectiveRatio, QStringLiteral("1"), ViewControl::PerspectiveRatio,
                        out);
                f.perspectiveRatioEnabled = false;
                rewrite(f.twistScale, QStringLiteral("0"), ViewControl::TwistScale, out);
                f.twistScaleEnabled = false;
            } else {
                // Each mode gets its own initial value back ("300" m in real mode).
                rewrite(f.perspectiveRatio, initialFirstBox(mode), ViewControl::PerspectiveRatio,
                        out);
                f.perspectiveRatioEnabled = true;
                rewrite(f.twistScale, QStringLiteral("1"), ViewControl::TwistScale, out);
                f.twistScaleEnabled = true;
            }
            break;
        case ViewControl::TwistScale:
        case ViewControl::MarkerSize:
            out.effect = Effect::Redraw;
            break;
        case ViewControl::LineWidth:
            if (boxValue(f.lineWidth) == 0.0)
                rewrite(f.lineWidth, QStringLiteral("1"), ViewControl::LineWidth, out);
            else
                out.effect = Effect::LineWidthRedraw;
            break;
        case ViewControl::DrawStep:
            if (!(boxValue(f.drawStep) >= 1.0)) {
                rewrite(f.drawStep, QStringLiteral("1"), ViewControl::DrawStep, out);
            } else if (const auto v = boxInt16(f.drawStep)) {
                state.StepInc = *v;
                out.effect = Effect::StepInc;
            }
            // A step beyond 16 bits fails the handler: StepInc stays.
            break;
        case ViewControl::Wait:
            out.effect = Effect::Wait;
            break;
        case ViewControl::DispScale:
            if (boxValue(f.dispScale) < 0.0)
                rewrite(f.dispScale, QStringLiteral("0"), ViewControl::DispScale, out);
            break;
        case ViewControl::ZoomLevel:
            out.effect = Effect::Layout;
            break;
        case ViewControl::Azimuth:
        case ViewControl::Elevation:
            out.effect = Effect::Viewpoint;
            break;
        case ViewControl::TimeStep:
            out.effect = Effect::Time;
            break;
        case ViewControl::FirstNode:
        case ViewControl::LastNode:
        case ViewControl::Trace:
        case ViewControl::Repeat:
            break;
    }
    return out;
}

std::vector<Effect> settleChange(ViewMode mode, ViewControl control, ViewForm& form,
                                 render::ViewerState& state) {
    std::vector<Effect> effects;
    std::deque<ViewControl> pending{control};
    // Every correction writes a fixed valid text, so the chain ends quickly;
    // the bound only guards against a handler that would keep rewriting.
    for (int guard = 0; !pending.empty() && guard < 64; ++guard) {
        const ViewControl next = pending.front();
        pending.pop_front();
        ChangeOutcome out = onControlChange(mode, next, form, state);
        // A rewritten box raises its change inside the handler, before the
        // handler's own effect would run.
        pending.insert(pending.begin(), out.rewritten.begin(), out.rewritten.end());
        if (out.effect != Effect::None) effects.push_back(out.effect);
    }
    return effects;
}

void updateParams(render::ViewParams& params, const ViewForm& form, ViewControl control) {
    if (control == ViewControl::TimeStep)
        params.timeStep = form.timeStep;
    else
        params = form.params();
}

void runEffect(Effect effect, ViewMode mode, Dataset& ds, render::ViewerState& st,
               const render::ViewParams& params, render::Canvas& cv) {
    switch (effect) {
        case Effect::Redraw:
        case Effect::Time:
            render::drawFrame(mode, ds, st, params, cv);
            break;
        case Effect::Recompute:
            render::recompute(mode, ds, st, params, cv);
            break;
        case Effect::Layout:
            render::layoutPass(mode, st.Client, ds, st, params, cv);
            break;
        case Effect::Viewpoint:
            render::viewpointChanged(mode, ds, st, params, cv);
            break;
        case Effect::LineWidthRedraw:
            if (params.lineWidth) cv.setLineWidth(*params.lineWidth);
            render::drawFrame(mode, ds, st, params, cv);
            break;
        case Effect::None:
        case Effect::StepInc:
        case Effect::Wait:
            break;
    }
}

render::Activation activateView(ViewMode mode, QSize client, Dataset& ds, render::ViewerState& st,
                                ViewForm& form, render::ViewParams& params, render::Canvas& cv) {
    form.timeStep = std::clamp(form.timeStep, 0, render::timeStepMaximum(ds));
    form.firstNode = QStringLiteral("0");
    if (ds.CableInfo.contains(1, 0))
        form.lastNode = num::formatGeneralQ(double(ds.CableInfo(1, 0)));
    if (const auto v = boxInt16(form.drawStep)) st.StepInc = *v;
    params = form.params();
    return render::activateViewer(mode, client, ds, st, params, cv);
}

}  // namespace qrn::viewer
