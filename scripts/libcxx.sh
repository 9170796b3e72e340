#!/usr/bin/env bash
# Builds everything and runs every test with clang and LLVM's libc++ (the
# toolchain of macOS) instead of g++ and libstdc++, so that the code leans on
# neither libstdc++ nor glibc alone. The installed GoogleTest is built against
# libstdc++, so GoogleTest is built here from its sources.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh clang libc++-dev libc++abi-dev libgtest-dev python3
dir=build-libcxx

# CMAKE_CXX_FLAGS reach the compiler and the linker of C++ targets alike.
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DONDA_BUILD_TESTS=ON \
  -DONDA_GTEST_SOURCE_DIR=/usr/src/googletest -DCMAKE_CXX_FLAGS=-stdlib=libc++ >/dev/null
cmake --build "$dir" -j 2

# The programs must link libc++ and nothing of libstdc++.
for tool in ondafwd ondainv ondasplit; do
  libraries=$(ldd "$dir/tools/$tool/$tool")
  if ! grep -q 'libc++\.so' <<<"$libraries" || grep -q 'libstdc++' <<<"$libraries"; then
    echo "$tool is not linked with libc++ alone:" >&2
    echo "$libraries" >&2
    exit 1
  fi
done

ctest --test-dir "$dir" -j 2 --output-on-failure

# The same files and console text as the g++ and libstdc++ programs of build/
# (built here when missing).
linux=build
if [ ! -e "$linux/CMakeCache.txt" ]; then
  cmake -S . -B "$linux" -DCMAKE_BUILD_TYPE=Release -DONDA_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$linux" -j 2 --target ondafwd ondainv ondasplit >/dev/null
python3 scripts/same_bytes.py "$linux" "$dir"
echo "All tests passed with clang and libc++; same bytes as the libstdc++ build."
