// The forward transform's passes and the whole transform, in nanoseconds per
// pixel, at 512^2, 2048^2 and 4096^2.
#include "bench_support.h"
#include "forward.h"
#include "plane.h"

namespace {

using namespace fwd;

void BM_RowPass(benchmark::State& state) {
    Planes p(int(state.range(0)));
    for (auto _ : state) {
        for (int row = 0; row < p.side; ++row) {
            wavelet_1d_wide(row, p.side, p.source.data(), p.result.data(), p.side);
        }
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, p.side);
}

void BM_ColumnPassAllColumns(benchmark::State& state) {
    Planes p(int(state.range(0)));
    for (auto _ : state) {
        wavelet_1d_height(0, p.side, p.source.data(), p.result.data(), p.side, p.side);
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, p.side);
}

// The same pass one column at a time, walking each column with the row stride.
void BM_ColumnPassOneColumnAtATime(benchmark::State& state) {
    Planes p(int(state.range(0)));
    for (auto _ : state) {
        for (int column = 0; column < p.side; ++column) {
            wavelet_1d_height(column, p.side, p.source.data(), p.result.data(), p.side);
        }
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, p.side);
}

void BM_TransformTwoLevels(benchmark::State& state) {
    Planes p(int(state.range(0)));
    for (auto _ : state) {
        sweepPlanes(TRANSFORM, p, 2);
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, p.side);
}

}  // namespace

BENCHMARK(BM_RowPass)->Arg(512)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColumnPassAllColumns)->Arg(512)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColumnPassOneColumnAtATime)
    ->Arg(512)
    ->Arg(2048)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TransformTwoLevels)->Arg(512)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
