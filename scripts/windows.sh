#!/usr/bin/env bash
# Cross-builds the programs and every test for 64-bit Windows with MinGW-w64,
# runs the tests under Wine, and checks that the Windows programs write the
# same files and the same console text (with \r\n line ends) as the Linux
# build's programs. Installs the cross compiler and Wine from Debian's
# packages when they are missing. Makes the .zip package when the build
# defines one.
#
#   scripts/windows.sh
#
# The build is in build-windows/, with its Wine prefix in build-windows/wine;
# the Linux programs compared with are those of build/ (built here when
# missing).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh g++-mingw-w64-x86-64-posix wine64 libgtest-dev python3
jobs=2
dir=build-windows
linux=build

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEDEBUG=-all
WINEPREFIX="$(pwd)/$dir/wine"
export WINEPREFIX
mkdir -p "$dir"

# One Wine server for the whole run, so that every program starts in a
# fraction of a second. Wine's own services start with it, away from any
# output a test captures: a service that inherited a test's pipe would hold it
# open for as long as the server lives.
"$wine" wineboot --init >/dev/null 2>&1 </dev/null  # makes the prefix
"$wineserver" --wait
"$wineserver" --persistent >/dev/null 2>&1 </dev/null
trap '"$wineserver" --kill || true' EXIT
"$wine" wineboot >/dev/null 2>&1 </dev/null

# CTest runs every test program (and lists its tests) through the emulator.
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DONDA_BUILD_TESTS=ON -DONDA_GTEST_SOURCE_DIR=/usr/src/googletest \
  "-DCMAKE_CROSSCOMPILING_EMULATOR=env;WINEDEBUG=-all;WINEPREFIX=$WINEPREFIX;$wine" >/dev/null
cmake --build "$dir" -j "$jobs"
ctest --test-dir "$dir" -j "$jobs" --output-on-failure

# The test programs print each skipped test with its reason.
echo "Tests skipped on Windows:"
awk '/^\[ RUN      \]/ { name = $4 } /: Skipped$/ { getline reason; print "  " name ": " reason }' \
  "$dir"/Testing/Temporary/LastTest.log

# Same bytes everywhere.
if [ ! -e "$linux/CMakeCache.txt" ]; then
  cmake -S . -B "$linux" -DCMAKE_BUILD_TYPE=Release -DONDA_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$linux" -j "$jobs" --target ondafwd ondainv ondasplit
python3 scripts/same_bytes.py --runner "$wine" "$linux" "$dir"

# The .zip of the Windows programs: exactly the three programs, the
# plain-text README and the licence, nothing of the test build.
(cd "$dir" && rm -f ./*.zip && cpack -G ZIP)
zip=$(ls "$dir"/onda-*-win64.zip)
echo "== $zip"
python3 -m zipfile -l "$zip"
contents=$(python3 -c 'import sys, zipfile; print(" ".join(sorted(n.split("/", 1)[1] for n in zipfile.ZipFile(sys.argv[1]).namelist() if not n.endswith("/"))))' "$zip")
if [ "$contents" != "LICENSE.txt README.txt ondafwd.exe ondainv.exe ondasplit.exe" ]; then
  echo "windows: the zip holds [$contents], not the three programs, README.txt and LICENSE.txt" >&2
  exit 1
fi
echo "Windows build: every test passed under Wine; same bytes as the Linux build."
