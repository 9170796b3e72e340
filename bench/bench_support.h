// What the pass benchmarks share: square planes of repeatable values and the
// per-pixel time counter.
#ifndef ONDA_BENCH_SUPPORT_H
#define ONDA_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

#include "plane.h"

// A source and a result plane, side x side; the source holds pixel-like
// values 0..255 shifted by `shift`.
struct Planes {
    explicit Planes(int n, double shift = 0.0)
        : side(n), source(std::size_t(n) * std::size_t(n)), result(source.size()) {
        for (std::size_t i = 0; i < source.size(); ++i)
            source[i] = double((i * 2654435761u) % 256) + shift;
    }
    int side;
    std::vector<double> source;
    std::vector<double> result;
};

// Sweeps the planes with `transform` at `levels` levels, in the rows it asks.
inline void sweepPlanes(const SweepTransform& transform, Planes& p, int levels) {
    const SweepRowsLength rows = transform.rowsLength(p.side, p.side, levels);
    std::vector<RowValue> input(rows.input), result(rows.result);
    const BufferPlanes buffers{p.source.data(), p.result.data(), p.side};
    sweepPlane(transform,
               PlaneSweep{&buffers, {input.data(), result.data()}, p.side, p.side, levels});
}

// Reports the time per pixel of a side x side plane as "ns/pixel".
inline void reportPerPixel(benchmark::State& state, int side) {
    state.counters["ns/pixel"] =
        benchmark::Counter(double(side) * side, benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
}

#endif
