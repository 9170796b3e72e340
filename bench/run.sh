#!/usr/bin/env bash
# Builds the programs and benchmarks optimised, then runs the pass benchmarks
# (Google Benchmark) and the whole-process benchmark (bench/run.py).
#   bench/run.sh            everything
#   bench/run.sh --quick    2048^2 only, no valgrind counts, no pass benchmarks
# The numpy peer needs Debian's python3-numpy and python3-pil; valgrind gives
# the instruction and cache-miss counts.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DONDA_BUILD_TESTS=OFF -DONDA_BUILD_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
if [ "${1:-}" != "--quick" ]; then
  for b in build-bench/bench/bench_*; do
    "$b" --benchmark_min_time=0.2
  done
fi
python3 bench/run.py build-bench "$@"
