#!/usr/bin/env bash
# Builds everything and runs every test: once as released (optimised), once
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
# A fresh Debian or Ubuntu machine gets the compiler, CMake, GoogleTest and
# Google Benchmark first.
if ! command -v cmake >/dev/null || ! command -v c++ >/dev/null ||
  [ ! -e /usr/include/gtest/gtest.h ] || [ ! -e /usr/include/benchmark/benchmark.h ]; then
  scripts/install-packages.sh g++ cmake libgtest-dev libbenchmark-dev
fi
jobs=$(nproc 2>/dev/null || echo 2)

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DONDA_BUILD_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure
}

run_suite build -DCMAKE_BUILD_TYPE=Release -DONDA_BUILD_BENCH=ON  # benchmarks built, not run
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DONDA_SANITIZE=ON
echo "All tests passed, plain and under ASan + UBSan."
