#!/usr/bin/env bash
# Builds the programs and runs them on the sample photographs. The pictures
# they write land in demo-output/ and open in any image viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
# A fresh Debian or Ubuntu machine gets the compiler and CMake first.
if ! command -v cmake >/dev/null || ! command -v c++ >/dev/null; then
  scripts/install-packages.sh g++ cmake
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)"
bin=build/tools
out=demo-output
mkdir -p "$out"

# The programs speak CP932; show their Japanese lines readably where iconv can.
run() {
  if command -v iconv >/dev/null; then "$@" | iconv -f CP932 -t UTF-8; else "$@"; fi
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
done
echo
echo "Wrote:"
ls -1 "$out"/*.bmp
