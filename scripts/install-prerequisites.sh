#!/usr/bin/env bash
# Installs the build's needs from Debian's packages when they are missing:
# a C++17 compiler, CMake, GoogleTest and Google Benchmark, clang with its
# libFuzzer runtime for scripts/fuzz.sh, clang-format, clang-tidy (14, as
# Debian 12 ships them) and cppcheck for scripts/lint.sh, setfacl (acl) for the
# tests of access lists, and ImageMagick and GraphicsMagick for the test that
# follows the programs' advice and for scripts/check-readme.sh (without their
# recommended packages); Emscripten and Chromium for the web page and its
# browser test (scripts/web.sh, tests/web/).
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
command -v clang-format-14 >/dev/null || command -v clang-format >/dev/null ||
  missing+=(clang-format)
command -v clang-tidy-14 >/dev/null || command -v clang-tidy >/dev/null || missing+=(clang-tidy)
command -v cppcheck >/dev/null || missing+=(cppcheck)
command -v git >/dev/null || missing+=(git)
command -v setfacl >/dev/null || missing+=(acl)  # the tests of access lists
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update
  $sudo apt-get install -y "${missing[@]}"
fi
# ImageMagick's own command, not any other `convert` on the PATH: the one
# scripts/check-readme.sh runs.
converters=()
[ -x /usr/bin/convert ] || converters+=(imagemagick)
[ -x /usr/bin/gm ] || converters+=(graphicsmagick)
[ ${#converters[@]} -eq 0 ] || "$(dirname "$0")/install-packages.sh" "${converters[@]}"
web=()
command -v emcc >/dev/null || web+=(emscripten)  # the web page's WebAssembly module
command -v chromium >/dev/null || web+=(chromium)  # the page's test in a browser
[ ${#web[@]} -eq 0 ] || "$(dirname "$0")/install-packages.sh" "${web[@]}"
