// Frames per second of drawFrame on the QImage canvas, against the floor of
// one QImage::fill plus a copy of an image of the same size.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cmath>

#include "dataset/dataset.h"
#include "render/raster/imagecanvas.h"
#include "render/viewer.h"
#include "viewer/viewform.h"

using namespace qrn;
using namespace qrn::render;

namespace {

// `cables` sagging cables of `nodes` nodes over 300 m, 2 m apart, with a beam
// across them every 50 m, swinging and twisting over `steps` time steps.
Dataset benchModel(int cables, int nodes, int steps) {
    Dataset ds;
    const int last = nodes - 1;
    const int beamNodes = 2 * 7;
    ds.CableMax = cables - 1;
    ds.NodeMax = std::max(last, beamNodes - 1);
    ds.BeamNodeMax = beamNodes - 1;
    ds.StepMax = steps;
    ds.StepCount = steps;
    ds.TensionMax = cables - 1;
    const int beamSlot = cables;
    ds.CableInfo.create({Bounds{0, 1}, Bounds{0, ds.CableMax}});
    ds.NodePos.create({Bounds{0, beamSlot}, Bounds{0, 2}, Bounds{0, ds.NodeMax}});
    ds.NodeTwist0.create({Bounds{0, beamSlot}, Bounds{0, ds.NodeMax}});
    ds.NodeDisp.create(
        {Bounds{0, beamSlot}, Bounds{-1, 2}, Bounds{0, ds.NodeMax}, Bounds{0, steps + 1}});
    ds.TensionHist.create({Bounds{0, steps + 1}, Bounds{0, ds.TensionMax}});
    ds.TensionElem.create({Bounds{0, ds.TensionMax}});
    const double half = (cables - 1) / 2.0;
    for (int s = 0; s < cables; ++s) {
        ds.CableInfo(1, s) = last;
        for (int n = 0; n <= last; ++n) {
            const double u = double(n) / last;
            ds.NodePos(s, 0, n) = float(300 * u);
            ds.NodePos(s, 1, n) = float(2.0 * (s - half));
            ds.NodePos(s, 2, n) = float(30 - 12 * std::sin(M_PI * u));
            for (int t = 0; t <= steps; ++t) {
                const double w = std::sin(M_PI * u) * std::sin(0.3 * t + 0.1 * s);
                ds.NodeDisp(s, 0, n, t) = std::int32_t(2500 * w);
                ds.NodeDisp(s, 1, n, t) = std::int32_t(-800 * w);
                ds.NodeDisp(s, 2, n, t) = std::int32_t(300 * w * n);
            }
        }
    }
    ds.BeamElemMax = 6;
    ds.BeamElem.create({Bounds{0, 1}, Bounds{0, 1}, Bounds{0, ds.BeamElemMax}});
    for (int e = 0; e <= 6; ++e) {
        const float x = 50.0f * float(e);
        ds.NodePos(beamSlot, 0, 2 * e) = x;
        ds.NodePos(beamSlot, 1, 2 * e) = float(-half * 2 - 3);
        ds.NodePos(beamSlot, 2, 2 * e) = 36.0f;
        ds.NodePos(beamSlot, 0, 2 * e + 1) = x;
        ds.NodePos(beamSlot, 1, 2 * e + 1) = float(half * 2 + 3);
        ds.NodePos(beamSlot, 2, 2 * e + 1) = 36.0f;
        ds.BeamElem(0, 0, e) = beamSlot;
        ds.BeamElem(0, 1, e) = 2 * e;
        ds.BeamElem(1, 0, e) = beamSlot;
        ds.BeamElem(1, 1, e) = 2 * e + 1;
    }
    return ds;
}

struct Setup {
    ViewMode mode;
    int cables, nodes;
    QSize client;
};

const Setup kSmallNormal{ViewMode::Normal, 6, 50, {682, 446}};
const Setup kSmallReal{ViewMode::Real, 6, 50, {678, 445}};
const Setup kLargeNormal{ViewMode::Normal, 24, 1000, {1600, 1000}};
const Setup kLargeReal{ViewMode::Real, 24, 1000, {1600, 1000}};

void frames(benchmark::State& state, const Setup& s) {
    constexpr int kSteps = 64;
    Dataset ds = benchModel(s.cables, s.nodes, kSteps);
    ViewerState st;
    viewer::ViewForm form = viewer::ViewForm::initial(s.mode);
    ViewParams params = form.params();
    ImageCanvas canvas;
    loadViewer(s.mode, ds, st, params);
    viewer::activateView(s.mode, s.client, ds, st, form, params, canvas);
    int t = 0;
    for (auto _ : state) {
        params.timeStep = t;
        t = (t + 1) % kSteps;
        drawFrame(s.mode, ds, st, params, canvas);
        // The window shows the image after every frame; this ends painting.
        benchmark::DoNotOptimize(canvas.image().constBits());
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(std::to_string(canvas.size().width()) + "x" +
                   std::to_string(canvas.size().height()));
}

void floorOf(benchmark::State& state, const Setup& s) {
    const QSize size = layoutGeometry(s.mode, s.client).canvas;
    QImage image(size, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(0xffffffff);
        QImage copy = image.copy();
        benchmark::DoNotOptimize(copy.constBits());
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK_CAPTURE(frames, small_normal, kSmallNormal)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(frames, small_real, kSmallReal)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(floorOf, small, kSmallNormal)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(frames, large_normal, kLargeNormal)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(frames, large_real, kLargeReal)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(floorOf, large, kLargeNormal)->Unit(benchmark::kMicrosecond);
