// The one-pass block transform, one and two levels, in nanoseconds per pixel,
// at 512^2, 2048^2 and 4096^2.
#include "bench_support.h"
#include "plane.h"
#include "split.h"

namespace {

using namespace split;

void BM_BlockTransform(benchmark::State& state) {
    Planes p(int(state.range(0)));
    const int levels = int(state.range(1));
    for (auto _ : state) {
        sweepPlanes(TRANSFORM, p, levels);
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, p.side);
}

}  // namespace

BENCHMARK(BM_BlockTransform)
    ->ArgsProduct({{512, 2048, 4096}, {1, 2}})
    ->ArgNames({"side", "levels"})
    ->Unit(benchmark::kMillisecond);
