#include "viewer/navigation.h"

#include <cmath>

#include "dataset/numbers.h"
#include "render/projection.h"

namespace qrn::viewer {

namespace {

bool behindEye(const render::ViewerState& st, std::int32_t i, std::int32_t j) {
    return st.BehindEye.contains(i, j) && st.BehindEye(i, j) != 0;
}

}  // namespace

std::optional<NodeRef> findNode(const Dataset& ds, const render::ViewerState& st, double x,
                                double y) {
    const double kx = st.PixPerUnitX, ky = st.PixPerUnitY;
    if (!std::isfinite(kx) || !std::isfinite(ky) || kx == 0.0 || ky == 0.0) return std::nullopt;
    std::optional<NodeRef> best;
    double bestSq = kPickRadiusPixels * kPickRadiusPixels;
    auto consider = [&](std::int32_t i, std::int32_t j) {
        // Positions of a frame drawn for another dataset are not searched.
        if (!st.ScrX.contains(i, j) || !st.ScrY.contains(i, j) || behindEye(st, i, j)) return;
        const double dx = (double(st.ScrX(i, j)) - x) * kx;
        const double dy = (double(st.ScrY(i, j)) - y) * ky;
        const double d = dx * dx + dy * dy;
        if (d < bestSq || (d == bestSq && !best)) {
            bestSq = d;
            best = NodeRef{i, j};
        }
    };
    for (std::int32_t i = 0; i <= ds.CableMax; ++i) {
        if (!ds.CableInfo.contains(1, i)) break;
        for (std::int32_t j = 0; j <= ds.CableInfo(1, i); ++j) consider(i, j);
    }
    const std::int32_t beam = ds.CableMax + 1;
    for (std::int32_t j = 0; j <= ds.BeamNodeMax; ++j) consider(beam, j);
    return best;
}

std::optional<QPointF> nodePixel(const render::ViewerState& st, NodeRef at) {
    if (!st.ScrX.contains(at.slot, at.node) || !st.ScrY.contains(at.slot, at.node) ||
        behindEye(st, at.slot, at.node))
        return std::nullopt;
    const double px = (double(st.ScrX(at.slot, at.node)) - st.Window.Left) * st.PixPerUnitX;
    const double py = (double(st.ScrY(at.slot, at.node)) - st.Window.Top) * st.PixPerUnitY;
    // Far outside the picture is as good as not drawn.
    constexpr double kFar = 1e6;
    if (!(std::fabs(px) < kFar) || !(std::fabs(py) < kFar)) return std::nullopt;
    // The frame rounds its points to whole pixels.
    return QPointF(std::nearbyint(px), std::nearbyint(py));
}

namespace {

QString integerText(double v) { return num::formatGeneralQ(v); }

}  // namespace

QString nodeInfoText(const Dataset& ds, NodeRef at, int t) {
    // Plain names, not a structured binding: the lambdas below capture them.
    const std::int32_t i = at.slot;
    const std::int32_t j = at.node;
    auto disp = [&](std::int64_t comp) -> double {
        return ds.NodeDisp.contains(i, comp, j, t) ? ds.NodeDisp(i, comp, j, t) : 0.0;
    };
    auto pos = [&](std::int64_t axis) -> float {
        return ds.NodePos.contains(i, axis, j) ? ds.NodePos(i, axis, j) : 0.0f;
    };
    const double twist0 = ds.NodeTwist0.contains(i, j) ? double(ds.NodeTwist0(i, j)) : 0.0;
    // Whole degrees by floor.
    const double theta =
        std::floor((disp(2) + twist0) / kStorageScale * 180.0 / render::kPiNodeInfo) + 0.0;

    const std::optional<std::int32_t> number = ds.NodeNoOf(i, j);
    QString text = QStringLiteral("ノードNo.");
    if (number) text += integerText(*number);
    text += QStringLiteral(" (移動量 x=") + integerText(disp(-1));
    text += QStringLiteral(",y=") + integerText(disp(0));
    text += QStringLiteral(",z=") + integerText(disp(1));
    text += QStringLiteral(",θ=") + integerText(theta);
    text += QStringLiteral(" : 基準座標位 x=") + num::formatGeneralQ(pos(0));
    text += QStringLiteral(",y=") + num::formatGeneralQ(pos(1));
    text += QStringLiteral(",z=") + num::formatGeneralQ(pos(2));
    text += QLatin1Char(')');
    // A position without a node number matches no beam-force record.
    if (!number) return text;
    for (std::int32_t m = 0; m < ds.BeamRecCount; ++m) {
        if (!ds.BeamRecInfo.contains(1, m) || ds.BeamRecInfo(0, m) != *number) continue;
        const double value = ds.BeamHist.contains(t, m) ? ds.BeamHist(t, m) : 0.0;
        text += QStringLiteral(",Beam") + integerText(ds.BeamRecInfo(1, m)) + QLatin1Char('=') +
                integerText(value);
    }
    return text;
}

ViewpointPan panViewpoint(const render::ViewerState& st, double x, double y, int h, int v) {
    ViewpointPan out;
    const double lim = kNormalViewpointLimit;
    const double nh = double(st.DownXY[0]) - x + h;
    if (nh >= -lim && nh <= lim) out.h = static_cast<int>(num::roundHalfEven(nh));
    const double nv = double(st.DownXY[1]) - y + v;
    if (nv >= -lim && nv <= lim) out.v = static_cast<int>(num::roundHalfEven(nv));
    return out;
}

namespace {

// (round(value) + 540) wrapped into -180..179. A true modulo keeps long drags
// inside the bars' range, where a truncating remainder would leave it.
int wrapAngle(double value) {
    double r = num::roundHalfEven(value + 540.0);
    if (!std::isfinite(r)) r = 0.0;
    const double m = r - 360.0 * std::floor(r / 360.0);
    return static_cast<int>(m) - 180;
}

}  // namespace

ViewAngles turnView(const render::ViewerState& st, double x, double y, int currentV) {
    const double s = std::abs(currentV) < 91 ? 1.0 : -1.0;
    ViewAngles out;
    out.h = wrapAngle(s * (double(st.DownXY[0]) - x) * -2.0 + double(st.DownScroll[0]));
    out.v = wrapAngle((double(st.DownXY[1]) - y) * -2.0 + double(st.DownScroll[1]));
    return out;
}

void moveCentre(render::ViewerState& st, double x, double y) {
    st.PanY = static_cast<float>(double(st.DownXY[1]) - y + double(st.PanY));
    st.PanX = static_cast<float>(double(st.DownXY[0]) - x + double(st.PanX));
    st.Window.Top = static_cast<float>(st.ViewTop + double(st.PanY));
    st.Window.Left = static_cast<float>(st.ViewLeft + double(st.PanX));
}

void panStep(render::ViewerState& st, int k) {
    const double s = 2.0 / double(st.Zoom);
    const double w = st.Window.Width;
    const double h = st.Window.Height;  // negative
    if (k <= 2 && st.PanY <= 50.0f) {
        st.PanY = static_cast<float>(st.PanY + s);
        st.Window.Top = static_cast<float>(st.ViewTop + double(st.PanY));
    } else if (k >= 6 && double(st.PanY) >= st.ViewHeight - h - 50.0) {
        st.PanY = static_cast<float>(st.PanY - s);
        st.Window.Top = static_cast<float>(st.ViewTop + double(st.PanY));
    }
    if (k % 3 == 0 && double(st.PanX) <= st.ViewWidth - w + 50.0) {
        st.PanX = static_cast<float>(st.PanX + s);
        st.Window.Left = static_cast<float>(st.ViewLeft + double(st.PanX));
    } else if (k % 3 == 2 && double(st.Window.Left) >= st.ViewLeft - 50.0) {
        st.PanX = static_cast<float>(st.PanX - s);
        st.Window.Left = static_cast<float>(st.ViewLeft + double(st.PanX));
    }
}

}  // namespace qrn::viewer
