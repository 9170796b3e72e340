// What the pass benchmarks share: square planes of repeatable values and the
// per-pixel time counter.
#ifndef ONDA_BENCH_SUPPORT_H
#define ONDA_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

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

// Reports the time per pixel of a side x side plane as "ns/pixel".
inline void reportPerPixel(benchmark::State& state, int side) {
    state.counters["ns/pixel"] =
        benchmark::Counter(double(side) * side, benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
}

#endif
