// CSV export speed: every node cell and all tensions of a synthetic analysis,
// about 200 MB of CSV per run, written to a temporary folder.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <cstdint>

#include "dataset/dataset.h"
#include "dataset/progress.h"
#include "files/csvexport.h"

namespace {

// 10 cables of 100 elements, 6000 steps; displacements wander over a few
// metres (millimetres x 1000), torsion over a few radians (x 1000).
const qrn::Dataset& dataset() {
    static const qrn::Dataset d = [] {
        qrn::Dataset d;
        d.CableMax = 9;
        d.NodeMax = 100;
        d.StepCount = 6000;
        d.StepMax = 6000;
        const std::int64_t slotCount = d.CableMax + 2, nodeCount = d.NodeMax + 1,
                           stepCount = d.StepCount + 1;
        d.NodeTblMax = -1;
        for (std::int32_t s = 0; s <= d.CableMax; ++s)
            for (std::int32_t k = 0; k <= d.NodeMax; ++k) d.appendNode(1000 * s + k, s, k);
        d.trimNodeTable();
        d.NodeDisp.create({qrn::Bounds{0, slotCount - 1}, qrn::Bounds{-1, 2},
                           qrn::Bounds{0, nodeCount - 1}, qrn::Bounds{0, stepCount}});
        d.NodePos.create(
            {qrn::Bounds{0, slotCount - 1}, qrn::Bounds{0, 2}, qrn::Bounds{0, nodeCount - 1}});
        d.NodeTwist0.create({qrn::Bounds{0, slotCount - 1}, qrn::Bounds{0, nodeCount - 1}});
        std::uint32_t r = 12345;
        auto next = [&] {
            r = r * 1664525U + 1013904223U;
            return r >> 8;
        };
        for (std::int64_t s = 0; s < slotCount; ++s)
            for (std::int64_t k = 0; k < nodeCount; ++k) {
                d.NodePos(s, 0, k) = static_cast<float>(k) * 2.5f + 0.1f;
                d.NodePos(s, 1, k) = static_cast<float>(s) * 0.3f;
                d.NodePos(s, 2, k) = 20.0f - static_cast<float>(k % 7) * 0.01f;
                for (std::int64_t c = -1; c <= 2; ++c) {
                    std::int32_t v = 0;
                    for (std::int64_t t = 0; t < stepCount; ++t) {
                        v += static_cast<std::int32_t>(next() % 2001) - 1000;
                        d.NodeDisp(s, c, k, t) = v;
                    }
                }
            }
        d.TensionMax = d.CableMax * 100 + 99;
        d.TensionElem.create({qrn::Bounds{0, d.TensionMax}});
        d.TensionHist.create({qrn::Bounds{0, stepCount}, qrn::Bounds{0, d.TensionMax}});
        for (std::int32_t i = 0; i <= d.TensionMax; ++i) {
            d.TensionElem(i) = 1000 + i;
            for (std::int64_t t = 0; t < stepCount; ++t)
                d.TensionHist(t, i) = static_cast<std::int16_t>(500 + next() % 3000);
        }
        return d;
    }();
    return d;
}

void exportAll(benchmark::State& state, bool init, bool split) {
    const qrn::Dataset& d = dataset();
    QTemporaryDir dir;
    qrn::CsvSelection sel =
        qrn::openCsvSelection(d, QStringLiteral("0.05"), dir.filePath(QStringLiteral("bench.csv")));
    qrn::csvSelectAll(sel);
    sel.tension = true;
    sel.init = init;
    sel.split = split;
    sel.toText = QStringLiteral("1000");
    qrn::NullProgress progress;
    std::uint64_t bytes = 0;
    for (auto _ : state) bytes += qrn::writeCsv(d, sel, QStringLiteral("0.05"), progress).bytes;
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["MB"] =
        static_cast<double>(bytes) / 1e6 / static_cast<double>(state.iterations());
}

void BM_CsvExportAllNodesTension(benchmark::State& s) { exportAll(s, false, false); }
void BM_CsvExportInitialPosition(benchmark::State& s) { exportAll(s, true, false); }
void BM_CsvExportSplit(benchmark::State& s) { exportAll(s, false, true); }

}  // namespace

BENCHMARK(BM_CsvExportAllNodesTension)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CsvExportInitialPosition)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CsvExportSplit)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
