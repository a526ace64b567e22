// Micro-benchmarks of the core's hot paths. Whole-process comparisons live in bench/run.
#include <benchmark/benchmark.h>

#include <string>

#include "dataset/numbers.h"
#include "dataset/textfile.h"

static void BM_LeadingValueField(benchmark::State& state) {
    const std::string field = "  -0.1234E+01";
    for (auto _ : state) benchmark::DoNotOptimize(qrn::num::leadingValue(field));
}
BENCHMARK(BM_LeadingValueField);

static void BM_FormatGeneral(benchmark::State& state) {
    double v = 0.05;
    for (auto _ : state) {
        benchmark::DoNotOptimize(qrn::num::formatGeneral(v));
        v += 0.001;
    }
}
BENCHMARK(BM_FormatGeneral);

static void BM_LineSplit(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "   0.1234E+01   0.5678E+01   0.9999E+00\r\n";
    for (auto _ : state) {
        qrn::LineSplitter s(text, false);
        std::string_view line;
        std::size_t n = 0;
        while (s.next(line)) n += line.size();
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_LineSplit);
