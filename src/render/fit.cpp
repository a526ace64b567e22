#include "render/fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "render/detail.h"
#include "render/layout.h"
#include "render/projection.h"

namespace qrn::render {

namespace {

// A node at rest in drawing units for a picture scale s: (a / s + b).
struct RestPoint {
    double ax = 0, bx = 0, ay = 0, by = 0;
};

struct Box {
    double left = std::numeric_limits<double>::infinity();
    double right = -std::numeric_limits<double>::infinity();
    double bottom = std::numeric_limits<double>::infinity();
    double top = -std::numeric_limits<double>::infinity();
    double width() const { return right - left; }
    double height() const { return top - bottom; }
};

Box boxAt(const std::vector<RestPoint>& pts, double scale) {
    Box b;
    for (const RestPoint& r : pts) {
        const double x = r.ax / scale + r.bx;
        const double y = r.ay / scale + r.by;
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.bottom = std::min(b.bottom, y);
        b.top = std::max(b.top, y);
    }
    return b;
}

// The nodes a frame draws: every cable node, and the beam nodes that end an element.
template <typename F>
void forDrawnNodes(const Dataset& ds, F&& visit) {
    for (std::int32_t s = 0; s <= ds.CableMax; ++s)
        for (std::int32_t n = 0; n <= ds.CableInfo(1, s); ++n) visit(s, n);
    if (ds.BeamElemMax < 0 || !ds.BeamElem.contains(1, 1, ds.BeamElemMax) ||
        !ds.BeamElem.contains(0, 0, 0))
        return;
    for (std::int32_t e = 0; e <= ds.BeamElemMax; ++e)
        for (int end = 0; end < 2; ++end) {
            const std::int32_t s = ds.BeamElem(end, 0, e), n = ds.BeamElem(end, 1, e);
            if (s >= 0 && s <= ds.CableMax + 1 && n >= 0 && n <= ds.NodeMax) visit(s, n);
        }
}

// The window of display size `level` for the picture, with no pan.
ViewerState windowAt(ViewMode mode, QSize picture, const ViewParams& p, int level) {
    ViewParams q = p;
    q.zoomLevel = level;
    ViewerState w;
    layoutNumbers(mode, picture, q, w);
    return w;
}

bool fits(const Box& b, const ViewerState& w, int hiddenRows) {
    const double usableW = double(w.Window.Width) - 2.0 * kFitMarginPixels / double(w.PixPerUnitX);
    const double usableH = std::fabs(double(w.Window.Height)) -
                           (2.0 * kFitMarginPixels + hiddenRows) / std::fabs(w.PixPerUnitY);
    return b.width() <= usableW && b.height() <= usableH;
}

// Round scales 1, 1.2, 1.5, 2, 2.5, 3, 4, 5, 6, 8 x 10^k above `from`, smallest first.
std::vector<double> roundScalesAbove(double from) {
    static constexpr std::array<double, 10> kSteps{1, 1.2, 1.5, 2, 2.5, 3, 4, 5, 6, 8};
    std::vector<double> out;
    constexpr double kLargest = 1e7;
    double decade = std::pow(10.0, std::floor(std::log10(from)));
    while (decade <= kLargest) {
        for (const double m : kSteps) {
            const double v = m * decade;
            if (v > from * (1 + 1e-9) && v <= kLargest) out.push_back(v);
        }
        decade *= 10.0;
    }
    return out;
}

// (cx, cy) in the middle of the visible part of the picture.
ViewFit centredAt(ViewMode mode, QSize picture, const ViewParams& p, int level, double cx,
                  double cy, int hiddenRows) {
    const ViewerState w = windowAt(mode, picture, p, level);
    const double visibleRows = picture.height() - 2.0 * kPictureBorder - hiddenRows;
    ViewFit f;
    f.zoomLevel = level;
    f.panX = detail::f32(cx - double(w.Window.Width) / 2.0 - w.ViewLeft);
    f.panY = detail::f32(cy - visibleRows / 2.0 / double(w.PixPerUnitY) - w.ViewTop);
    return f;
}

}  // namespace

std::optional<double> viewDistanceClearOfModel(const Dataset& ds, const ViewerState& st,
                                               const ViewParams& p) {
    const double d = p.viewDistance();
    if (!detail::geometryOk(ds) || !(d > 0.0) || !std::isfinite(d)) return std::nullopt;
    // A node's depth ahead of the eye is q0 + D, q0 from the projection's
    // rotation about the model's centre. Half the distance ahead at least keeps
    // the near end within three times the far end's scale.
    const double alpha = p.elevation * kPiApprox / 180.0;
    const double beta = p.azimuth * kPiApprox / 180.0;
    const double sa = std::sin(alpha), ca = std::cos(alpha);
    const double sb = std::sin(beta), cb = std::cos(beta);
    double needed = 0.0;
    forDrawnNodes(ds, [&](std::int32_t s, std::int32_t n) {
        const double X = double(ds.NodePos(s, 0, n)) - st.CentreX;
        const double Y = ds.NodePos(s, 1, n);
        const double Z = double(ds.NodePos(s, 2, n)) - st.CentreZ;
        const double q0 = X * ca * cb - Y * sb * ca + Z * sa;
        if (std::isfinite(q0)) needed = std::max(needed, -2.0 * q0);
    });
    for (const double candidate : roundScalesAbove(d))
        if (candidate >= needed) return candidate;
    return std::nullopt;
}

int hiddenPictureRows(const LayoutGeometry& g) {
    const int drawableBottom = g.picture.top() + kPictureBorder + g.canvas.height();
    return std::clamp(drawableBottom - g.bottomBarTop, 0, g.canvas.height());
}

std::optional<ViewFit> fitView(ViewMode mode, const Dataset& ds, const ViewerState& st,
                               const ViewParams& p, QSize picture, int hiddenRows) {
    if (!detail::geometryOk(ds)) return std::nullopt;
    const double scale = p.nearScale;
    const std::array<Bounds, 2> nodes{Bounds{0, ds.CableMax + 1LL}, Bounds{0, ds.NodeMax}};
    std::vector<RestPoint> pts;
    bool behind = false;

    if (mode == ViewMode::Normal) {
        if (st.DepthMul.bounds() != nodes) return std::nullopt;
        const double depthMax = st.DepthMax;
        const bool skew = depthMax != 0.0;
        const double H = 2.0 * p.azimuth, V = 2.0 * p.elevation;
        forDrawnNodes(ds, [&](std::int32_t s, std::int32_t n) {
            const double x = ds.NodePos(s, 0, n), y = ds.NodePos(s, 1, n), z = ds.NodePos(s, 2, n);
            const double M = st.DepthMul(s, n);
            // The frame's projection with every displacement zero.
            RestPoint r;
            if (p.nearLow) {
                r.ax = -y * 100.0 * M;
                r.bx = (skew ? (depthMax - x) * H / depthMax : 0.0) * M;
                r.by = (skew ? (depthMax - x) * V / depthMax : 0.0) * M;
            } else {
                r.ax = y * 100.0 * M;
                r.bx = (skew ? H * x / depthMax : 0.0) * M;
                r.by = (skew ? V * x / depthMax : 0.0) * M;
            }
            r.ay = z * 100.0 * M;
            if (std::isfinite(r.ax / scale + r.bx) && std::isfinite(r.ay / scale + r.by))
                pts.push_back(r);
        });
    } else {
        const std::array<Bounds, 3> base{nodes[0], nodes[1], Bounds{0, 1}};
        if (st.BasePos.bounds() != base || st.BehindEye.bounds() != nodes) return std::nullopt;
        forDrawnNodes(ds, [&](std::int32_t s, std::int32_t n) {
            if (st.BehindEye(s, n)) {
                behind = true;
                return;
            }
            // The base position is proportional to 1 / the centre width.
            const double bx = st.BasePos(s, n, 0), by = st.BasePos(s, n, 1);
            if (std::isfinite(bx) && std::isfinite(by))
                pts.push_back({bx * scale, 0, by * scale, 0});
        });
    }
    if (behind) {
        ViewFit f;  // the smallest display size, centred on the model
        f.whole = false;
        return f;
    }
    if (pts.empty()) return std::nullopt;

    const Box box = boxAt(pts, scale);
    const double cx = (box.left + box.right) / 2.0, cy = (box.bottom + box.top) / 2.0;
    for (int level = kZoomLevelMax; level >= kZoomLevelMin; --level)
        if (fits(box, windowAt(mode, picture, p, level), hiddenRows))
            return centredAt(mode, picture, p, level, cx, cy, hiddenRows);

    const ViewerState widest = windowAt(mode, picture, p, kZoomLevelMin);
    if (scale > 0.0 && std::isfinite(scale)) {
        for (const double s : roundScalesAbove(scale)) {
            const Box b = boxAt(pts, s);
            if (!fits(b, widest, hiddenRows)) continue;
            ViewFit f = centredAt(mode, picture, p, kZoomLevelMin, (b.left + b.right) / 2.0,
                                  (b.bottom + b.top) / 2.0, hiddenRows);
            f.scale = s;
            return f;
        }
    }
    ViewFit f = centredAt(mode, picture, p, kZoomLevelMin, cx, cy, hiddenRows);
    f.whole = false;
    return f;
}

}  // namespace qrn::render
