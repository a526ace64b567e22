#include "render/detail.h"

namespace qrn::render::detail {

bool geometryOk(const Dataset& ds) {
    const std::int64_t cm = ds.CableMax;
    const std::int64_t nm = ds.NodeMax;
    if (cm < 0 || nm < 0 || ds.BeamNodeMax > nm) return false;
    if (!ds.CableInfo.contains(0, 0) || !ds.CableInfo.contains(1, cm)) return false;
    if (!ds.NodePos.contains(0, 0, 0) || !ds.NodePos.contains(cm + 1, 2, nm)) return false;
    for (std::int64_t s = 0; s <= cm; ++s) {
        const std::int64_t last = ds.CableInfo(1, s);
        if (last < 0 || last > nm) return false;
    }
    return true;
}

bool historyOk(const Dataset& ds, std::int64_t t) {
    const std::int64_t cm = ds.CableMax;
    const std::int64_t nm = ds.NodeMax;
    return ds.NodeDisp.contains(0, -1, 0, t) && ds.NodeDisp.contains(cm + 1, 2, nm, t) &&
           ds.NodeTwist0.contains(0, 0) && ds.NodeTwist0.contains(cm + 1, nm);
}

void recreate(BArray<float, 2>& a, const Dataset& ds) {
    const std::array<Bounds, 2> b{Bounds{0, ds.CableMax + 1LL}, Bounds{0, ds.NodeMax}};
    if (a.bounds() == b)
        a.fillZero();
    else
        a.create(b);
}

void recreate(BArray<float, 3>& a, const Dataset& ds, std::int64_t k) {
    const std::array<Bounds, 3> b{Bounds{0, ds.CableMax + 1LL}, Bounds{0, ds.NodeMax},
                                  Bounds{0, k}};
    if (a.bounds() == b)
        a.fillZero();
    else
        a.create(b);
}

}  // namespace qrn::render::detail
