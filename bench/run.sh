#!/usr/bin/env bash
# Builds the programs and benchmarks optimised, then runs the pass benchmarks
# (Google Benchmark) and the whole-process benchmark (bench/run.py).
#   bench/run.sh            everything: the pass benchmarks and run.py's tables
#   bench/run.sh --quick    2048^2 only, no valgrind counts, no pass benchmarks
#   bench/run.sh --plot     run.py's tables, and the figure (docs/scaling.png)
# Other options go to run.py (--baseline DIR, --largest, --pairs N, --sides).
# Whatever is missing of what it uses is installed from Debian's packages
# first: the compiler, CMake and Google Benchmark; valgrind and strace for the
# counts;
# ImageMagick for the counts on a picture it writes; numpy and Pillow for the
# numpy script; with --plot, matplotlib.
set -euo pipefail
cd "$(dirname "$0")/.."
passes=yes
packages=(valgrind strace imagemagick python3-numpy python3-pil)
for option in "$@"; do
  case $option in
    --quick) passes=no ;;
    --plot)
      passes=no
      packages+=(python3-matplotlib)
      ;;
  esac
done
if ! command -v cmake >/dev/null || ! command -v c++ >/dev/null ||
  [ ! -e /usr/include/benchmark/benchmark.h ]; then
  scripts/install-packages.sh g++ cmake libbenchmark-dev
fi
scripts/install-packages.sh "${packages[@]}"
# Debian's Python packages belong to the system's Python.
python=/usr/bin/python3
[ -x "$python" ] || python=python3

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DONDA_BUILD_TESTS=OFF -DONDA_BUILD_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
if [ $passes = yes ]; then
  for b in build-bench/bench/bench_*; do
    "$b" --benchmark_min_time=0.2
  done
fi
"$python" bench/run.py build-bench "$@"
