// The inverse transform's passes and the whole inverse, in nanoseconds per
// pixel, at 512^2, 2048^2 and 4096^2.
#include "bench_support.h"
#include "inverse.h"
#include "plane.h"

namespace {

using namespace inv;

void BM_InverseRowPass(benchmark::State& state) {
    Planes p(int(state.range(0)), -128.0);  // details without their offset
    for (auto _ : state) {
        for (int row = 0; row < p.side; ++row) {
            wavelet_1d_inv_wide(row, p.side, p.source.data(), p.result.data(), p.side);
        }
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, p.side);
}

void BM_InverseColumnPassAllColumns(benchmark::State& state) {
    Planes p(int(state.range(0)), -128.0);  // details without their offset
    for (auto _ : state) {
        wavelet_1d_inv_height(0, p.side, p.source.data(), p.result.data(), p.side, p.side);
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, p.side);
}

// The same pass one column at a time, walking each column with the row stride.
void BM_InverseColumnPassOneColumnAtATime(benchmark::State& state) {
    Planes p(int(state.range(0)), -128.0);  // details without their offset
    for (auto _ : state) {
        for (int column = 0; column < p.side; ++column) {
            wavelet_1d_inv_height(column, p.side, p.source.data(), p.result.data(), p.side);
        }
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, p.side);
}

void BM_InverseTwoLevels(benchmark::State& state) {
    Planes p(int(state.range(0)), -128.0);  // details without their offset
    for (auto _ : state) {
        sweepPlanes(TRANSFORM, p, 2);
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, p.side);
}

}  // namespace

BENCHMARK(BM_InverseRowPass)->Arg(512)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InverseColumnPassAllColumns)
    ->Arg(512)
    ->Arg(2048)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InverseColumnPassOneColumnAtATime)
    ->Arg(512)
    ->Arg(2048)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InverseTwoLevels)->Arg(512)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
