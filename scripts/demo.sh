#!/usr/bin/env bash
# Builds the programs and runs them on the sample photographs. The pictures
# they write land in demo-output/ and open in any image viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
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
  run "$bin/ondafwd/ondafwd" "samples/$picture.bmp" "$out/$picture-fwd2.bmp" 2
done
echo
echo "Wrote:"
ls -1 "$out"/*.bmp
