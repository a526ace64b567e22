// The min/max-per-column reduction of 4 series x 1,000,000 steps to a
// 1,600-pixel-wide chart, against one pass that only sums the same values.
#include <benchmark/benchmark.h>

#include "analysis/reduce.h"
#include "series.h"

namespace {

using namespace qrn;

const std::vector<analysis::Series>& series() {
    static const std::vector<analysis::Series> s = bench::longSeries();
    return s;
}

void reduceFull(benchmark::State& state) {
    const auto& all = series();
    const double t1 = all[0].grid.time(bench::kSteps - 1);
    for (auto _ : state) {
        qsizetype points = 0;
        for (const auto& s : all)
            points += analysis::reduceToColumns(s, 0.0, t1, bench::kColumns).size();
        benchmark::DoNotOptimize(points);
    }
    state.SetBytesProcessed(state.iterations() * bench::kSeries * bench::kSteps * 8);
}

void sumFull(benchmark::State& state) {
    const auto& all = series();
    const double t1 = all[0].grid.time(bench::kSteps - 1);
    for (auto _ : state) {
        double total = 0.0;
        for (const auto& s : all) total += analysis::sumWithin(s.values.data(), s.grid, 0.0, t1);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * bench::kSeries * bench::kSteps * 8);
}

}  // namespace

BENCHMARK(reduceFull)->Name("plotReduce")->Unit(benchmark::kMillisecond);
BENCHMARK(sumFull)->Name("plotSum")->Unit(benchmark::kMillisecond);
