#pragma once
// Points and segments in metres, double precision: the exact segment-segment
// distance the clearance search is built on.

#include <cmath>

namespace qrn {

struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// The closest pair of points of segments p0-p1 and q0-q1: a = p0 + u (p1 - p0),
// b = q0 + v (q1 - q0), u and v in 0..1, and their squared distance. Zero-length
// segments are points. Where several pairs are equally close (parallel
// segments) one of them is returned.
struct SegmentClosest {
    double distance2 = 0.0;
    double u = 0.0;
    double v = 0.0;
    Vec3 a;
    Vec3 b;
    double distance() const { return std::sqrt(distance2); }
};

SegmentClosest closestPoints(const Vec3& p0, const Vec3& p1, const Vec3& q0, const Vec3& q1);

}  // namespace qrn
