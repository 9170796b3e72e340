#!/usr/bin/env bash
# Builds the three programs and runs them on the sample photographs. The
# pictures they write land in demo-output/ and open in any image viewer.
# The tests are not built here: scripts/test.sh builds and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
# A fresh Debian or Ubuntu machine gets the compiler and CMake first.
if ! command -v cmake >/dev/null || ! command -v c++ >/dev/null; then
  echo "Installing the compiler and CMake..."
  scripts/install-packages.sh g++ cmake
fi

# Of the build, only its warnings and errors show: they come on standard error.
echo "Building ondafwd, ondainv and ondasplit in build/..."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target ondafwd ondainv ondasplit >/dev/null
echo

bin=build/tools
out=demo-output
mkdir -p "$out"

# Each program's console text as it prints it: on a UTF-8 terminal the
# programs write their Japanese lines in UTF-8 themselves. Into a pipe or a
# file they write CP932, which iconv makes readable where it is at hand.
run() {
  if [ -t 1 ] || ! command -v iconv >/dev/null; then "$@"; else "$@" | iconv -f CP932 -t UTF-8; fi
}

for picture in camera astronaut; do
  original="samples/$picture.bmp"
  # Two levels forward, then the inverse rebuilds the picture from them.
  run "$bin/ondafwd/ondafwd" "$original" "$out/$picture-fwd2.bmp" 2
  run "$bin/ondainv/ondainv" "$out/$picture-fwd2.bmp" "$out/$picture-inv2.bmp" 2
  # The one-pass block transform: one level, then two levels, which are
  # byte for byte what ondafwd wrote.
  run "$bin/ondasplit/ondasplit" "$original" "$out/$picture-split1.bmp" 1
  run "$bin/ondasplit/ondasplit" "$original" "$out/$picture-split2.bmp" 2
  cmp "$out/$picture-split2.bmp" "$out/$picture-fwd2.bmp"
  echo "$picture: ondasplit 2 and ondafwd 2 wrote identical files."
  echo
done
echo "Wrote these pictures (the programs are in $bin/):"
ls -1 "$out"/*.bmp
