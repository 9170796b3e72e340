#!/usr/bin/env bash
# Builds the web page (web/) with Emscripten and serves it on 127.0.0.1.
#
#   scripts/web.sh [--build-only] [--port N] [BUILD_DIR]
#
# BUILD_DIR (build-web/ by default) gets its own emcmake configure; the page
# and its WebAssembly module land in BUILD_DIR/web/site/, which any static
# file server can serve. --build-only stops there (the browser test does);
# otherwise the page is served on 127.0.0.1 only, at port 8032 unless --port
# names another, until Ctrl-C. Installs Emscripten from Debian's packages when
# it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
serve=1
port=8032
build=build-web
while [ $# -gt 0 ]; do
  case $1 in
    --build-only) serve=0 ;;
    --port) port=$2; shift ;;
    *) build=$1 ;;
  esac
  shift
done
command -v emcmake >/dev/null || scripts/install-packages.sh emscripten
# Debian's Emscripten runs its JavaScript tools with the node on the PATH,
# which finds their modules (acorn) only through Debian's folder when it is
# another build than Debian's own.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
emcmake cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DONDA_BUILD_TESTS=OFF \
  -DONDA_HARDEN=OFF >/dev/null
cmake --build "$build" --target onda_site -j 2
site=$build/web/site
[ "$serve" -eq 1 ] || exit 0
echo "The page: http://127.0.0.1:$port/ (Ctrl-C stops the server)"
exec python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port"
