// The one-pass block transform, one and two levels, in nanoseconds per pixel,
// at 512^2, 2048^2 and 4096^2.
#include <benchmark/benchmark.h>

#include <vector>

#include "tool.h"
#include "wavelet_split.h"

namespace {

void BM_BlockTransform(benchmark::State& state) {
    const int side = int(state.range(0));
    std::vector<double> source(std::size_t(side) * std::size_t(side));
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = double((i * 2654435761u) % 256);
    std::vector<double> result(source.size());
    R_Times = int(state.range(1));
    for (auto _ : state) {
        wavelet_process(source.data(), result.data(), side, side, nullptr);
        benchmark::ClobberMemory();
    }
    state.counters["ns/pixel"] = benchmark::Counter(
        double(side) * side, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_BlockTransform)
    ->ArgsProduct({{512, 2048, 4096}, {1, 2}})
    ->ArgNames({"side", "levels"})
    ->Unit(benchmark::kMillisecond);
