#include "render/viewer.h"

#include <algorithm>
#include <exception>
#include <new>

#include "dataset/numbers.h"
#include "render/detail.h"

namespace qrn::render {

void loadViewer(ViewMode, const Dataset& ds, ViewerState& st, const ViewParams& p) {
    try {
        if (ds.CableMax >= 0 && ds.NodeMax >= 0) detail::recreate(st.DepthMul, ds);
    } catch (const std::bad_alloc&) {
        st.DepthMul.clear();  // the first projection tries again
    }
    st.PerspRatio = detail::f32(p.perspectiveRatio);
    st.NearScale = detail::f32(p.nearScale);
    if (p.markerStep) st.MarkerStep = *p.markerStep;
}

FrameEnd recompute(ViewMode mode, const Dataset& ds, ViewerState& st, const ViewParams& p,
                   Canvas& cv) {
    // A normal-mode computation that stopped part-way draws no frame; without
    // geometry drawFrame itself reports NoData.
    if (!computeProjection(mode, ds, st, p) && mode == ViewMode::Normal && detail::geometryOk(ds)) {
        st.LastFrame = FrameEnd::Stopped;
        return FrameEnd::Stopped;
    }
    return drawFrame(mode, ds, st, p, cv);
}

FrameEnd viewpointChanged(ViewMode mode, const Dataset& ds, ViewerState& st, const ViewParams& p,
                          Canvas& cv) {
    if (mode == ViewMode::Real) return recompute(mode, ds, st, p, cv);
    placeWindow(mode, p, st);
    return drawFrame(mode, ds, st, p, cv);
}

LayoutGeometry layoutPass(ViewMode mode, QSize client, Dataset& ds, ViewerState& st,
                          const ViewParams& p, Canvas& cv) {
    LayoutGeometry g = layoutGeometry(mode, client);
    st.Client = client;
    cv.resize(g.canvas);
    layoutNumbers(mode, g.picture.size(), p, st);
    applyNodeRange(p, ds);
    recompute(mode, ds, st, p, cv);
    return g;
}

int timeStepMaximum(const Dataset& ds) { return std::max(ds.StepMax, 0); }

namespace {

// Runs one activation step; a failing step is skipped.
template <typename F>
void attempt(F&& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

}  // namespace

Activation activateViewer(ViewMode mode, QSize client, Dataset& ds, ViewerState& st,
                          const ViewParams& p, Canvas& cv) {
    Activation a;
    attempt([&] {
        if (ds.CableMax >= 0 && ds.NodeMax >= 0) {
            st.DepthMul.clear();
            detail::recreate(st.DepthMul, ds);
        }
    });
    a.timeBarMax = timeStepMaximum(ds);
    if (ds.TensionHist.contains(a.timeBarMax, 0)) st.GaugeMax = ds.TensionHist(a.timeBarMax, 0);
    attempt([&] { a.geometry = layoutPass(mode, client, ds, st, p, cv); });
    std::int32_t shown = ds.TensionMax;
    if (ds.TensionMax != 0) {
        a.nodeButtonsVisible = true;
        if (ds.TensionMax > 0) st.TensSel %= ds.TensionMax + 1;
        shown = st.TensSel;
    } else {
        // The only record there is; a selection kept from a larger dataset
        // would index past it.
        st.TensSel = 0;
    }
    a.nodeLabel = nodeLabelText(ds, shown);
    return a;
}

QString screenCopyLine(int year) {
    return QStringLiteral("(C)") + QString::number(year) + QLatin1Char(' ') + kTitleByLine;
}

void screenCopyText(ViewMode mode, const ViewerState& st, Canvas& cv, int pictureOuterHeight,
                    int year) {
    if (mode != ViewMode::Normal || pictureOuterHeight <= 0) return;
    const double top = st.Window.Top;
    const double height = st.Window.Height;
    const double y = top + height - height * 300.0 / pictureOuterHeight;
    cv.text(st.Window.Left, detail::f32(y), kPalette[0], screenCopyLine(year));
}

QString timeDisplayText(double intervalSeconds, int timeStep) {
    return QString::fromStdString(num::formatFixed2(intervalSeconds * timeStep));
}

QString nodeLabelText(const Dataset& ds, std::int32_t record) {
    QString label = QStringLiteral("ﾉｰﾄﾞNo.");
    if (ds.TensionElem.contains(record))
        label += num::formatGeneralQ(double(ds.TensionElem(record)));
    return label;
}

NodeChange changeTensionNode(const Dataset& ds, ViewerState& st, int button, int timeStep) {
    const std::int64_t count = std::int64_t(ds.TensionMax) + 1;
    if (count > 0) {
        std::int64_t sel = (std::int64_t(st.TensSel) + 2 * button - 1) % count;
        if (sel < 0) sel = ds.TensionMax;
        st.TensSel = static_cast<std::int32_t>(sel);
    }
    NodeChange out;
    out.nodeLabel = nodeLabelText(ds, st.TensSel);
    if (ds.TensionHist.contains(timeStep, st.TensSel))
        out.tensionText =
            QString::fromStdString(num::formatKg(ds.TensionHist(timeStep, st.TensSel)));
    return out;
}

QByteArray projectedPointsText(const Dataset& ds, const ViewerState& st) {
    QByteArray out;
    if (!detail::geometryOk(ds) || st.ScrX.empty()) return out;
    auto put = [&](std::int32_t s, std::int32_t n) {
        out += QByteArray::number(s) + ',' + QByteArray::number(n) + ',';
        if (const auto node = ds.NodeNoOf(s, n)) out += QByteArray::number(*node);
        out += ',';
        out += num::formatGeneral(st.ScrX(s, n)).c_str();
        out += ',';
        out += num::formatGeneral(st.ScrY(s, n)).c_str();
        out += '\n';
    };
    for (std::int32_t s = 0; s <= ds.CableMax; ++s)
        for (std::int32_t n = 0; n <= ds.CableInfo(1, s); ++n) put(s, n);
    for (std::int32_t n = 0; n <= ds.BeamNodeMax; ++n) put(ds.CableMax + 1, n);
    return out;
}

}  // namespace qrn::render
