#include "render/frame.h"

#include <cmath>
#include <optional>
#include <utility>

#include "dataset/numbers.h"
#include "render/detail.h"

namespace qrn::render {

using detail::f32;

namespace {

// Pixel coordinates a drawing statement may use: finite and within 32 bits
// once rounded.
bool pixelOk(double v) { return std::isfinite(v) && std::fabs(v) < 2147483647.0; }

class Frame {
  public:
    Frame(ViewMode mode, const Dataset& ds, ViewerState& st, const ViewParams& p, Canvas& cv)
        : mode_(mode), ds_(ds), st_(st), p_(p), cv_(cv), t_(p.timeStep) {}

    FrameEnd run();

  private:
    // A statement could not run: normal mode ends the frame, real mode goes on.
    bool stops() const { return mode_ == ViewMode::Normal; }
    void projectNormal();
    void projectReal();
    void tensionReadout();
    bool cables();
    bool markers(std::int16_t kt);
    bool beams();
    void clearance();
    std::optional<std::pair<double, double>> onPolyline(const SegmentPoint& p) const;
    bool drawable(double x, double y) const {
        return pixelOk((x - win_.left) * ppuX_) && pixelOk((y - win_.top) * ppuY_);
    }
    // Real mode: the node lies at or behind the near plane.
    bool behind(std::int32_t s, std::int32_t n) const {
        return behind_ && behind_[s + n * behindStride_] != 0;
    }
    void polylineInFront(const PixelPoint* pts, std::int32_t s, std::int32_t last);

    ViewMode mode_;
    const Dataset& ds_;
    ViewerState& st_;
    const ViewParams& p_;
    Canvas& cv_;
    std::int64_t t_;
    ScaleOrigin win_;
    double ppuX_ = 0, ppuY_ = 0;
    const std::uint8_t* behind_ = nullptr;
    std::int64_t behindStride_ = 0;
};

FrameEnd Frame::run() {
    cv_.setScaleWindow(st_.Window);
    const bool ok = detail::geometryOk(ds_);
    if (ok) {
        detail::recreate(st_.ScrX, ds_);
        detail::recreate(st_.ScrY, ds_);
        st_.PolyPts.create({Bounds{0, ds_.NodeMax}});
    } else {
        st_.ScrX.clear();
        st_.ScrY.clear();
        st_.PolyPts.clear();
    }
    if (!ok || !detail::historyOk(ds_, t_)) return FrameEnd::NoData;

    if (mode_ == ViewMode::Normal)
        projectNormal();
    else
        projectReal();
    tensionReadout();

    if (!p_.trace) cv_.clear();
    cv_.setFillColor(kPalette[0]);
    if (const auto lw = p_.lineWidth)
        cv_.setLineWidth(*lw);
    else if (stops())
        return FrameEnd::Stopped;

    win_ = cv_.scaleOrigin();
    ppuX_ = st_.PixPerUnitX;
    ppuY_ = st_.PixPerUnitY;
    if (mode_ == ViewMode::Real && st_.BehindEye.bounds() == st_.ScrX.bounds()) {
        behind_ = st_.BehindEye.data();
        behindStride_ = st_.BehindEye.stride(1);
    }
    if (!cables()) return FrameEnd::Stopped;

    std::int16_t kt = 0;  // stays 0 when the box does not fit 16 bits (real mode)
    if (const auto v = p_.twistScale)
        kt = *v;
    else if (stops())
        return FrameEnd::Stopped;
    if (!markers(kt)) return FrameEnd::Stopped;
    if (!beams()) return FrameEnd::Stopped;
    if (st_.Clearance) clearance();
    return FrameEnd::Complete;
}

void Frame::projectNormal() {
    const std::int32_t cm = ds_.CableMax;
    const bool nearLow = p_.nearLow;
    const std::int32_t comp = p_.sideways ? -1 : 0;  // x displacement drawn sideways
    const double H = 2.0 * p_.azimuth;
    const double V = 2.0 * p_.elevation;
    const double m = p_.dispScale;
    const double depthMax = st_.DepthMax;
    const double nearScale = st_.NearScale;
    // Without any depth (DepthMax 0) there is nothing to skew along.
    const bool skew = depthMax != 0.0;
    const bool mulOk = st_.DepthMul.bounds() == st_.ScrX.bounds();

    auto project = [&](std::int32_t s, std::int32_t n) {
        const double x = ds_.NodePos(s, 0, n);
        const double y = ds_.NodePos(s, 1, n);
        const double z = ds_.NodePos(s, 2, n);
        const double dh = ds_.NodeDisp(s, comp, n, t_);
        const double dv = ds_.NodeDisp(s, 1, n, t_);
        const double M = mulOk ? st_.DepthMul(s, n) : 0.0;
        const double lateral = (dh * m / kStorageScale + y) * 100.0 / nearScale;
        const double vertical = (dv * m / kStorageScale + z) * 100.0 / nearScale;
        double sx, sy;
        if (nearLow) {
            const double skewX = skew ? (depthMax - x) * H / depthMax : 0.0;
            const double skewY = skew ? (depthMax - x) * V / depthMax : 0.0;
            sx = (skewX - lateral) * M;
            sy = (vertical + skewY) * M;
        } else {
            const double skewX = skew ? H * x / depthMax : 0.0;
            const double skewY = skew ? V * x / depthMax : 0.0;
            sx = (lateral + skewX) * M;
            sy = (vertical + skewY) * M;
        }
        st_.ScrX(s, n) = f32(sx);
        st_.ScrY(s, n) = f32(sy);
    };
    for (std::int32_t s = 0; s <= cm; ++s)
        for (std::int32_t n = 0; n <= ds_.CableInfo(1, s); ++n) project(s, n);
    for (std::int32_t n = 0; n <= ds_.BeamNodeMax; ++n) project(cm + 1, n);
}

void Frame::projectReal() {
    const std::int32_t cm = ds_.CableMax;
    // Without a matching projection (none computed yet for this dataset) every
    // node stays at the origin.
    const auto want =
        std::array<Bounds, 3>{Bounds{0, cm + 1LL}, Bounds{0, ds_.NodeMax}, Bounds{0, 2}};
    if (st_.CoefX.bounds() != want || st_.CoefY.bounds() != want ||
        st_.BasePos.bounds() !=
            std::array<Bounds, 3>{Bounds{0, cm + 1LL}, Bounds{0, ds_.NodeMax}, Bounds{0, 1}})
        return;
    const double m = p_.dispScale;
    auto project = [&](std::int32_t s, std::int32_t n) {
        const double dx = ds_.NodeDisp(s, -1, n, t_) / kStorageScale;
        const double dy = ds_.NodeDisp(s, 0, n, t_) / kStorageScale;
        const double dz = ds_.NodeDisp(s, 1, n, t_) / kStorageScale;
        const double sx =
            (dx * st_.CoefX(s, n, 0) + dy * st_.CoefX(s, n, 1) + dz * st_.CoefX(s, n, 2)) * m;
        const double sy =
            (dx * st_.CoefY(s, n, 0) + dy * st_.CoefY(s, n, 1) + dz * st_.CoefY(s, n, 2)) * m;
        st_.ScrX(s, n) = f32(st_.BasePos(s, n, 0) + sx);
        st_.ScrY(s, n) = f32(st_.BasePos(s, n, 1) + sy);
    };
    for (std::int32_t s = 0; s <= cm; ++s)
        for (std::int32_t n = 0; n <= ds_.CableInfo(1, s); ++n) project(s, n);
    for (std::int32_t n = 0; n <= ds_.BeamNodeMax; ++n) project(cm + 1, n);
}

void Frame::tensionReadout() {
    // A record index left over from an earlier dataset shows nothing new
    // rather than ending the frame; activation brings it back into range.
    if (ds_.TensionHist.contains(t_, st_.TensSel))
        st_.TensionText = QString::fromStdString(num::formatKg(ds_.TensionHist(t_, st_.TensSel)));
    if (!ds_.TensionHist.contains(t_, 0)) return;
    const float p = ds_.TensionHist(t_, 0);
    if (st_.GaugeMax < p) st_.GaugeMax = p;
    if (p > 0) st_.GaugeValue = p;
}

bool Frame::cables() {
    PixelPoint* pts = st_.PolyPts.data();
    const float* scrX = st_.ScrX.data();
    const float* scrY = st_.ScrY.data();
    const std::int64_t stride = st_.ScrX.stride(1);
    for (std::int32_t s = 0; s <= ds_.CableMax; ++s) {
        const std::int32_t last = ds_.CableInfo(1, s);
        for (std::int32_t n = 0; n <= last; ++n) {
            const std::int64_t at = s + n * stride;
            const auto px = detail::roundPixel((scrX[at] - double(win_.left)) * ppuX_);
            const auto py = detail::roundPixel((scrY[at] - double(win_.top)) * ppuY_);
            if (px && py) {
                pts[n] = {*px, *py};
            } else if (stops()) {
                return false;
            } else {
                // Real mode keeps the point as it was (the previous cable's, or 0).
                if (px) pts[n].x = *px;
                if (py) pts[n].y = *py;
            }
        }
        polylineInFront(pts, s, last);
    }
    return true;
}

void Frame::polylineInFront(const PixelPoint* pts, std::int32_t s, std::int32_t last) {
    std::int32_t n = 0;
    while (n <= last && !behind(s, n)) ++n;
    if (n > last) {
        cv_.polyline(pts, last + 1);
        return;
    }
    // A segment with an end behind the near plane would be drawn through the
    // eye: each run of nodes in front is drawn on its own.
    for (std::int32_t from = 0; from <= last;) {
        while (from <= last && behind(s, from)) ++from;
        std::int32_t to = from;
        while (to + 1 <= last && !behind(s, to + 1)) ++to;
        if (from <= last && to > from) cv_.polyline(pts + from, to - from + 1);
        from = to + 1;
    }
}

bool Frame::markers(std::int16_t kt) {
    if (st_.MarkerStep <= 0) return true;
    // Normal mode: the near-low view turns the bars the other way. Real mode:
    // looking from behind (|angle| > 90) turns them back.
    const double dir = mode_ == ViewMode::Normal
                           ? (p_.nearLow ? -1.0 : 1.0)
                           : (p_.azimuth >= -90 && p_.azimuth <= 90 ? -1.0 : 1.0);
    const double sizeDiv = kMarkerSizeBase - p_.markerSize;
    const double zoom = st_.Zoom;
    const float radius = f32(kMarkerRadius / sizeDiv / zoom);
    const double d = kTwistBarHalfLength / sizeDiv / zoom;
    const bool radiusOk = pixelOk(double(radius) * ppuX_);
    const std::int32_t step = st_.MarkerStep;
    for (std::int32_t s = 0; s <= ds_.CableMax; ++s) {
        const std::int32_t last = ds_.CableInfo(1, s);
        // The first marker of every cable is palette entry 3, then 4, 5, 6, 7, 1, 2, 3 ...
        int k = 1;
        for (std::int32_t n = step; n <= last - 1; n += step) {
            k = (k + 1) % kMarkerColours;
            const Rgb colour = kPalette[static_cast<std::size_t>(k + 1)];
            if (behind(s, n)) continue;
            const double x = st_.ScrX(s, n);
            const double y = st_.ScrY(s, n);
            if (radiusOk && drawable(x, y))
                cv_.circle(float(x), float(y), radius, colour);
            else if (stops())
                return false;
            if (kt > 0) {
                const double theta = (ds_.NodeDisp(s, 2, n, t_) + double(ds_.NodeTwist0(s, n))) *
                                     dir / kStorageScale * kt;
                const double cs = d * std::cos(theta);
                const double sn = d * std::sin(theta);
                const float x1 = f32(x - cs), y1 = f32(y - sn);
                const float x2 = f32(x + cs), y2 = f32(y + sn);
                if (drawable(x1, y1) && drawable(x2, y2))
                    cv_.line(x1, y1, x2, y2, colour);
                else if (stops())
                    return false;
            }
        }
    }
    return true;
}

bool Frame::beams() {
    if (ds_.BeamElemMax < 0) return true;
    cv_.setLineWidth(2);
    if (!ds_.BeamElem.contains(0, 0, 0) || !ds_.BeamElem.contains(1, 1, ds_.BeamElemMax))
        return !stops();
    for (std::int32_t e = 0; e <= ds_.BeamElemMax; ++e) {
        const std::int32_t sA = ds_.BeamElem(0, 0, e), nA = ds_.BeamElem(0, 1, e);
        const std::int32_t sB = ds_.BeamElem(1, 0, e), nB = ds_.BeamElem(1, 1, e);
        if (!st_.ScrX.contains(sA, nA) || !st_.ScrX.contains(sB, nB)) {
            if (stops()) return false;
            continue;
        }
        if (behind(sA, nA) || behind(sB, nB)) continue;
        const float x1 = st_.ScrX(sA, nA), y1 = st_.ScrY(sA, nA);
        const float x2 = st_.ScrX(sB, nB), y2 = st_.ScrY(sB, nB);
        if (drawable(x1, y1) && drawable(x2, y2))
            cv_.line(x1, y1, x2, y2, kPalette[1]);
        else if (stops())
            return false;
    }
    return true;
}

// Where the point lies on the cable as drawn: between its segment's projected
// nodes, so that it sits on the polyline at any displacement scale and in
// either view. Empty when the dataset has no such segment.
std::optional<std::pair<double, double>> Frame::onPolyline(const SegmentPoint& p) const {
    if (p.slot < 0 || p.slot > ds_.CableMax || p.segment < 0 ||
        p.segment >= ds_.CableInfo(1, p.slot) || !st_.ScrX.contains(p.slot, p.segment + 1) ||
        !(p.u >= 0.0 && p.u <= 1.0))
        return std::nullopt;
    auto at = [&](const BArray<float, 2>& scr) {
        const double s0 = scr(p.slot, p.segment), s1 = scr(p.slot, p.segment + 1);
        return s0 + (s1 - s0) * p.u;
    };
    return std::pair{at(st_.ScrX), at(st_.ScrY)};
}

void Frame::clearance() {
    const auto a = onPolyline(st_.Clearance->a);
    const auto b = onPolyline(st_.Clearance->b);
    if (!a || !b || !drawable(a->first, a->second) || !drawable(b->first, b->second)) return;
    cv_.setLineWidth(kClearanceLineWidth);
    cv_.line(f32(a->first), f32(a->second), f32(b->first), f32(b->second), kClearanceColour);
    const float radius = f32(kClearanceRing / st_.Zoom);
    if (!pixelOk(double(radius) * ppuX_)) return;
    cv_.circle(f32(a->first), f32(a->second), radius, kClearanceColour);
    cv_.circle(f32(b->first), f32(b->second), radius, kClearanceColour);
}

}  // namespace

FrameEnd drawFrame(ViewMode mode, const Dataset& ds, ViewerState& st, const ViewParams& p,
                   Canvas& cv) {
    const FrameEnd end = Frame(mode, ds, st, p, cv).run();
    st.LastFrame = end;
    return end;
}

}  // namespace qrn::render
