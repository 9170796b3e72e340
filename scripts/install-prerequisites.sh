#!/usr/bin/env bash
# Installs the build's needs from Debian's packages when they are missing:
# a C++17 compiler, CMake, GoogleTest and Google Benchmark, and clang with its
# libFuzzer runtime for scripts/fuzz.sh.
set -euo pipefail
missing=()
command -v g++ >/dev/null || missing+=(g++)
command -v cmake >/dev/null || missing+=(cmake)
[ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -e /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
if ! command -v clang++ >/dev/null; then
  missing+=(clang libclang-rt-dev)
elif ! ls "$(clang++ -print-resource-dir)"/lib/linux/libclang_rt.fuzzer-*.a >/dev/null 2>&1; then
  missing+=(libclang-rt-dev)
fi
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update
  $sudo apt-get install -y "${missing[@]}"
fi
