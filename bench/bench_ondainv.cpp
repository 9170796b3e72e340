// The inverse transform's passes and the whole inverse, in nanoseconds per
// pixel, at 512^2, 2048^2 and 4096^2.
#include <benchmark/benchmark.h>

#include <vector>

#include "tool.h"
#include "wavelet_inv.h"

namespace {

struct Planes {
    explicit Planes(int n) : side(n), source(std::size_t(n) * std::size_t(n)), result(source.size()) {
        for (std::size_t i = 0; i < source.size(); ++i) source[i] = double((i * 2654435761u) % 256) - 128.0;
    }
    int side;
    std::vector<double> source;
    std::vector<double> result;
};

void perPixel(benchmark::State& state, int side) {
    state.counters["ns/pixel"] = benchmark::Counter(
        double(side) * side, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_InverseRowPass(benchmark::State& state) {
    Planes p(int(state.range(0)));
    for (auto _ : state) {
        for (int row = 0; row < p.side; ++row) {
            wavelet_1d_inv_wide(row, p.side, p.source.data(), p.result.data(), p.side);
        }
        benchmark::ClobberMemory();
    }
    perPixel(state, p.side);
}

void BM_InverseColumnPassAllColumns(benchmark::State& state) {
    Planes p(int(state.range(0)));
    for (auto _ : state) {
        wavelet_1d_inv_height(0, p.side, p.source.data(), p.result.data(), p.side, p.side);
        benchmark::ClobberMemory();
    }
    perPixel(state, p.side);
}

// The same pass one column at a time, walking each column with the row stride.
void BM_InverseColumnPassOneColumnAtATime(benchmark::State& state) {
    Planes p(int(state.range(0)));
    for (auto _ : state) {
        for (int column = 0; column < p.side; ++column) {
            wavelet_1d_inv_height(column, p.side, p.source.data(), p.result.data(), p.side);
        }
        benchmark::ClobberMemory();
    }
    perPixel(state, p.side);
}

void BM_InverseTwoLevels(benchmark::State& state) {
    Planes p(int(state.range(0)));
    const std::vector<double> input = p.source;
    R_Times = 2;
    for (auto _ : state) {
        state.PauseTiming();
        p.source = input;
        state.ResumeTiming();
        wavelet_inv_process(p.source.data(), p.result.data(), p.side, p.side, nullptr);
        benchmark::ClobberMemory();
    }
    perPixel(state, p.side);
}

}  // namespace

BENCHMARK(BM_InverseRowPass)->Arg(512)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InverseColumnPassAllColumns)->Arg(512)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InverseColumnPassOneColumnAtATime)->Arg(512)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InverseTwoLevels)->Arg(512)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
