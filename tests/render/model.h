#pragma once
// Small hand-made datasets for the render tests (no readers involved).

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "dataset/dataset.h"
#include "render/viewerstate.h"
#include "render/viewparams.h"

namespace qrn::test {

// The view parameters of a freshly opened viewer, as its initial boxes read.
inline render::ViewParams openedViewer(render::ViewMode mode) {
    const bool real = mode == render::ViewMode::Real;
    render::ViewParams p;
    p.perspectiveRatio = real ? 300.0 : 3.0;
    p.nearScale = 50.0;
    p.markerStep = 2;
    p.markerSize = 1;
    p.twistScale = 1;
    p.lineWidth = 1;
    p.dispScale = 1.0;
    p.firstNode = 0;
    p.lastNode = 1;
    p.azimuth = real ? 5 : -40;
    return p;
}

// A dataset with cables of the given last node indices, `beamNodes` nodes in
// the beam slot, `steps` + 1 time steps and every value zero. Node numbers
// are 100 * (slot + 1) + index.
inline Dataset blankModel(const std::vector<int>& cableLast, int beamNodes = 0, int steps = 1,
                          int tensionRecords = 1) {
    Dataset ds;
    ds.CableMax = static_cast<int>(cableLast.size()) - 1;
    int nodeMax = beamNodes - 1;
    for (int l : cableLast) nodeMax = std::max(nodeMax, l);
    ds.NodeMax = std::max(nodeMax, 0);
    ds.BeamNodeMax = beamNodes - 1;
    ds.BeamElemMax = -1;
    ds.StepMax = steps;
    ds.StepCount = steps;
    ds.TensionMax = tensionRecords - 1;
    const std::int64_t beamSlot = ds.CableMax + 1;
    ds.CableInfo.create({Bounds{0, 1}, Bounds{0, ds.CableMax}});
    ds.NodePos.create({Bounds{0, beamSlot}, Bounds{0, 2}, Bounds{0, ds.NodeMax}});
    ds.NodeTwist0.create({Bounds{0, beamSlot}, Bounds{0, ds.NodeMax}});
    ds.NodeDisp.create(
        {Bounds{0, beamSlot}, Bounds{-1, 2}, Bounds{0, ds.NodeMax}, Bounds{0, steps + 1}});
    ds.TensionHist.create({Bounds{0, steps + 1}, Bounds{0, ds.TensionMax}});
    ds.TensionElem.create({Bounds{0, ds.TensionMax}});
    ds.NodeTblMax = -1;
    for (int s = 0; s <= ds.CableMax; ++s) {
        ds.CableInfo(1, s) = cableLast[static_cast<std::size_t>(s)];
        for (int n = 0; n <= cableLast[static_cast<std::size_t>(s)]; ++n)
            ds.appendNode(100 * (s + 1) + n, s, n);
    }
    for (int n = 0; n < beamNodes; ++n)
        ds.appendNode(100 * (ds.CableMax + 2) + n, ds.CableMax + 1, n);
    if (ds.NodeTblMax < 0) ds.appendNode(0, 0, 0);
    ds.trimNodeTable();
    for (int r = 0; r <= ds.TensionMax; ++r) ds.TensionElem(r) = 1000 + r;
    return ds;
}

inline void setPos(Dataset& ds, int s, int n, float x, float y, float z) {
    ds.NodePos(s, 0, n) = x;
    ds.NodePos(s, 1, n) = y;
    ds.NodePos(s, 2, n) = z;
}

inline void addBeams(Dataset& ds, const std::vector<std::array<int, 4>>& elems) {
    ds.BeamElemMax = static_cast<int>(elems.size()) - 1;
    ds.BeamElem.create({Bounds{0, 1}, Bounds{0, 1}, Bounds{0, ds.BeamElemMax}});
    for (int e = 0; e <= ds.BeamElemMax; ++e) {
        const auto& el = elems[static_cast<std::size_t>(e)];
        ds.BeamElem(0, 0, e) = el[0];
        ds.BeamElem(0, 1, e) = el[1];
        ds.BeamElem(1, 0, e) = el[2];
        ds.BeamElem(1, 1, e) = el[3];
    }
}

// A small line model: `cables` parallel sagging cables of `nodes` + 1 nodes
// spanning x 0..300 m, 10 m apart in y, a beam across them at mid-span in the
// beam slot, and two time steps with sideways swing and twist.
inline Dataset lineModel(int cables = 3, int nodes = 20) {
    std::vector<int> last(static_cast<std::size_t>(cables), nodes);
    Dataset ds = blankModel(last, 2, 2, cables);
    for (int s = 0; s < cables; ++s) {
        for (int n = 0; n <= nodes; ++n) {
            const float u = float(n) / float(nodes);
            setPos(ds, s, n, 300.0f * u, 10.0f * float(s) - 10.0f,
                   30.0f - 12.0f * std::sin(3.14159265f * u));
            for (int t = 0; t <= 2; ++t) {
                const double swing = std::sin(3.14159265 * u) * t;
                ds.NodeDisp(s, 0, n, t) = static_cast<std::int32_t>(3000 * swing);
                ds.NodeDisp(s, 1, n, t) = static_cast<std::int32_t>(-1500 * swing);
                ds.NodeDisp(s, 2, n, t) = static_cast<std::int32_t>(400 * n * t);
            }
        }
    }
    const int beamSlot = cables;
    setPos(ds, beamSlot, 0, 150.0f, -14.0f, 36.0f);
    setPos(ds, beamSlot, 1, 150.0f, 14.0f, 36.0f);
    addBeams(ds, {{beamSlot, 0, beamSlot, 1}, {0, nodes / 2, beamSlot, 0}});
    for (int t = 0; t <= 3; ++t)
        for (int r = 0; r < cables; ++r)
            ds.TensionHist(t, r) = static_cast<std::int16_t>(1200 + 100 * t + r);
    return ds;
}

}  // namespace qrn::test
