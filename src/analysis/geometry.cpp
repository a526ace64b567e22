#include "analysis/geometry.h"

#include <algorithm>
#include <limits>

namespace qrn {
namespace {

Vec3 minus(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Exact at both ends: u = 0 gives p0 and u = 1 gives p1, bit for bit.
Vec3 along(const Vec3& p0, const Vec3& p1, double u) {
    const double w = 1.0 - u;
    return {w * p0.x + u * p1.x, w * p0.y + u * p1.y, w * p0.z + u * p1.z};
}

// Parameter of the point of segment q0 + t d (dd = d.d) nearest to p.
double nearestParam(const Vec3& p, const Vec3& q0, const Vec3& d, double dd) {
    if (!(dd > 0.0)) return 0.0;
    return std::clamp(dot(minus(p, q0), d) / dd, 0.0, 1.0);
}

}  // namespace

SegmentClosest closestPoints(const Vec3& p0, const Vec3& p1, const Vec3& q0, const Vec3& q1) {
    const Vec3 d1 = minus(p1, p0);
    const Vec3 d2 = minus(q1, q0);
    const Vec3 r = minus(p0, q0);
    const double a = dot(d1, d1), e = dot(d2, d2), b = dot(d1, d2);
    const double c = dot(d1, r), f = dot(d2, r);

    SegmentClosest best;
    best.distance2 = std::numeric_limits<double>::infinity();
    auto consider = [&](double u, double v) {
        const Vec3 pa = along(p0, p1, u);
        const Vec3 pb = along(q0, q1, v);
        const Vec3 d = minus(pa, pb);
        const double d2 = dot(d, d);
        if (d2 < best.distance2) best = {d2, u, v, pa, pb};
    };
    // The distance is convex over the unit square of (u, v): its minimum is the
    // lines' critical point when that lies inside, else on an edge, where one
    // parameter is 0 or 1 and the other is a point-to-segment projection.
    // Trying all five keeps nearly parallel and degenerate segments exact.
    const double denom = a * e - b * b;
    if (denom > 0.0) {
        const double u = (b * f - c * e) / denom;
        const double v = (a * f - b * c) / denom;
        if (u >= 0.0 && u <= 1.0 && v >= 0.0 && v <= 1.0) consider(u, v);
    }
    consider(0.0, nearestParam(p0, q0, d2, e));
    consider(1.0, nearestParam(p1, q0, d2, e));
    consider(nearestParam(q0, p0, d1, a), 0.0);
    consider(nearestParam(q1, p0, d1, a), 1.0);
    return best;
}

}  // namespace qrn
