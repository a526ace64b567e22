#include "render/projection.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "render/detail.h"

namespace qrn::render {

using detail::f32;

namespace {

// The model's extent along x, {min, max}: the cables' last nodes bound it
// (min stays 0); a model without them is bounded by its beam nodes.
std::pair<float, float> depthRange(const Dataset& ds) {
    const std::int32_t beamSlot = ds.CableMax + 1;
    float lo = 0.0f, hi = 0.0f;
    for (std::int32_t i = 0; i <= ds.CableMax; ++i) {
        const float v = ds.NodePos(i, 0, ds.CableInfo(1, i));
        if (hi < v) hi = v;
    }
    if (hi == 0.0f) {
        for (std::int32_t n = 0; n <= ds.NodeMax; ++n) {
            const float v = ds.NodePos(beamSlot, 0, n);
            if (hi < v) hi = v;
            if (lo > v) lo = v;
        }
    }
    return {lo, hi};
}

}  // namespace

bool computeNormalProjection(const Dataset& ds, ViewerState& st, const ViewParams& p) {
    st.PerspRatio = f32(p.perspectiveRatio);
    st.NearScale = f32(p.nearScale);
    const auto marker = p.markerStep;
    if (!marker) return false;
    st.MarkerStep = *marker;
    if (!detail::geometryOk(ds)) return false;

    const std::int32_t cm = ds.CableMax;
    const std::int32_t beamSlot = cm + 1;
    if (st.DepthMul.bounds() != std::array<Bounds, 2>{Bounds{0, beamSlot}, Bounds{0, ds.NodeMax}})
        st.DepthMul.create({Bounds{0, beamSlot}, Bounds{0, ds.NodeMax}});

    std::tie(st.DepthMin, st.DepthMax) = depthRange(ds);

    // With every depth equal (a model drawn in the y-z plane) there is no
    // per-metre step: the ratio counts as 1 and every node gets full size,
    // instead of the infinite exponent of an empty depth range.
    const double range = double(st.DepthMax) - double(st.DepthMin);
    const bool flat = range == 0.0;
    const double ratio = flat ? 1.0 : double(st.PerspRatio);
    st.DepthBase = flat ? 1.0f : f32(std::pow(double(st.PerspRatio), 1.0 / range));

    const bool nearLow = p.nearLow;
    const double depthMax = st.DepthMax;
    const double base = st.DepthBase;
    auto multiplier = [&](std::int32_t s, std::int32_t n) {
        const double x = ds.NodePos(s, 0, n);
        const double e = nearLow ? depthMax - x : x;
        st.DepthMul(s, n) = f32(std::pow(base, e) / ratio);
    };
    // Nodes below the first node keep their multipliers (0 after creation).
    const std::int32_t first = std::max(ds.FirstNode, 0);
    for (std::int32_t i = 0; i <= cm; ++i)
        for (std::int32_t n = first; n <= ds.CableInfo(1, i); ++n) multiplier(i, n);
    for (std::int32_t n = 0; n <= ds.BeamNodeMax; ++n) multiplier(beamSlot, n);
    return true;
}

bool computeRealProjection(const Dataset& ds, ViewerState& st, const ViewParams& p) {
    if (!detail::geometryOk(ds)) return false;
    const std::int32_t cm = ds.CableMax;
    const std::int32_t beamSlot = cm + 1;
    detail::recreate(st.BasePos, ds, 1);
    detail::recreate(st.CoefX, ds, 2);
    detail::recreate(st.CoefY, ds, 2);
    const std::array<Bounds, 2> nodeBounds{Bounds{0, beamSlot}, Bounds{0, ds.NodeMax}};
    if (st.BehindEye.bounds() == nodeBounds)
        st.BehindEye.fillZero();
    else
        st.BehindEye.create(nodeBounds);

    if (const auto marker = p.markerStep) st.MarkerStep = *marker;

    std::tie(st.XMin, st.XMax) = depthRange(ds);
    for (std::int32_t n = 0; n <= ds.NodeMax; ++n) {
        for (std::int32_t i = 0; i <= beamSlot; ++i) {
            const float v = ds.NodePos(i, 2, n);
            if (st.ZMax < v) st.ZMax = v;
            if (st.ZMin > v) st.ZMin = v;
        }
    }
    st.CentreX = f32((double(st.XMax) + st.XMin) * 0.5);
    st.CentreZ = f32((double(st.ZMax) + st.ZMin) * 0.5);

    const double alpha = p.elevation * kPiApprox / 180.0;
    const double beta = p.azimuth * kPiApprox / 180.0;
    const double sa = f32(std::sin(alpha));
    const double ca = f32(std::cos(alpha));
    const double sb = f32(std::sin(beta));
    const double cb = f32(std::cos(beta));
    const double D = f32(p.viewDistance());
    const double W = p.centreWidth();
    const double D2 = std::pow(D, 2.0);
    // A negative distance puts the eye beyond the centre, still looking the
    // same way: the plane stays in front of the eye.
    const double nearPlane = kNearPlaneFraction * std::fabs(D);

    auto project = [&](std::int32_t i, std::int32_t n) {
        const double X = f32(double(ds.NodePos(i, 0, n)) - st.CentreX);
        const double Y = ds.NodePos(i, 1, n);
        const double Z = f32(double(ds.NodePos(i, 2, n)) - st.CentreZ);
        const double q = X * ca * cb + D - Y * sb * ca + Z * sa;
        const double u = X * sa * cb + Z * ca - Y * sb * sa;
        const double w = -X * sb * ca + Y * cb;
        const double r = std::sqrt(std::pow(q, 2.0) + std::pow(u, 2.0) + std::pow(w, 2.0));
        st.BehindEye(i, n) = q > nearPlane ? 0 : 1;
        const float kf = f32(D2 / q / r * 100.0 / W);
        const double k = kf;
        st.BasePos(i, n, 0) = f32((-X * sb - Y * cb) * k);
        st.BasePos(i, n, 1) = f32((-X * sa * cb + Y * sb * sa + Z * ca) * k);
        st.CoefX(i, n, 0) = f32(-sb * k);
        st.CoefX(i, n, 1) = f32(-cb * k);
        const double dz2 = std::pow(D + Z, 2.0);
        st.CoefX(i, n, 2) = f32((sa * sb * D * X / dz2 + sa * cb * D * Y / dz2) * 100.0 / W);
        st.CoefY(i, n, 2) = f32(ca * k);
        st.CoefY(i, n, 0) = f32(-sa * cb * k);
        st.CoefY(i, n, 1) = f32(sb * sa * k);
    };
    // Nodes below the first node keep zero coefficients and land at the origin.
    const std::int32_t first = std::max(ds.FirstNode, 0);
    for (std::int32_t i = 0; i <= cm; ++i)
        for (std::int32_t n = first; n <= ds.CableInfo(1, i); ++n) project(i, n);
    for (std::int32_t n = 0; n <= ds.BeamNodeMax; ++n) project(beamSlot, n);
    return true;
}

bool computeProjection(ViewMode mode, const Dataset& ds, ViewerState& st, const ViewParams& p) {
    return mode == ViewMode::Real ? computeRealProjection(ds, st, p)
                                  : computeNormalProjection(ds, st, p);
}

}  // namespace qrn::render
