#!/usr/bin/env bash
# Checks the format and runs both static analysers over every C++ file of the
# project: the programs and their libraries, the tests, the fuzz targets and
# the benchmarks. Fails on any finding.
#
#   scripts/lint.sh
#
# 1. clang-format --dry-run -Werror on every tracked C++ file (.clang-format).
# 2. clang-tidy on every source of the compile database in build-lint/, which
#    is configured with the tests and benchmarks on; the fuzz targets are in
#    it as the fuzz_replay_* test programs (.clang-tidy holds the checks).
#    Headers are checked through the sources that include them.
# 3. cppcheck on the same compile database: warnings, performance and
#    portability.
#
# clang-format, clang-tidy and cppcheck come from
# scripts/install-prerequisites.sh; CLANG_FORMAT, CLANG_TIDY and CPPCHECK
# choose other binaries. Nothing is built: configuring is enough.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-lint
jobs=$(nproc 2>/dev/null || echo 2)
started=$SECONDS

# The first of the given commands that is installed.
pick() {
  local tool
  for tool in "$@"; do
    if command -v "$tool" >/dev/null; then
      echo "$tool"
      return
    fi
  done
  echo "lint: none of $* is installed; run scripts/install-prerequisites.sh" >&2
  exit 2
}
clang_format=${CLANG_FORMAT:-$(pick clang-format-14 clang-format)}
clang_tidy=${CLANG_TIDY:-$(pick clang-tidy-14 clang-tidy)}
cppcheck=${CPPCHECK:-$(pick cppcheck)}
failed=()

echo "== clang-format"
if ! git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r "$clang_format" --dry-run -Werror; then
  failed+=(clang-format)
fi

echo "== clang-tidy"
# Configured for clang when it is there (scripts/fuzz.sh needs it anyway), so
# that the database holds the flags clang-tidy's own parser understands.
compiler=()
command -v clang++ >/dev/null && compiler=(-DCMAKE_CXX_COMPILER=clang++)
cmake -S . -B "$dir" "${compiler[@]}" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DCMAKE_BUILD_TYPE=Debug \
  -DONDA_BUILD_TESTS=ON -DONDA_BUILD_BENCH=ON -DONDA_SANITIZE=OFF -DONDA_FUZZ=OFF >/dev/null
# Every source once, however many programs compile it (replay_main.cpp).
# CMake writes each entry's "file" on a line of its own.
sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$dir/compile_commands.json" | sort -u \
  >"$dir/lint-sources.txt"
# A finding is an error, and so is a source clang cannot compile: either makes
# clang-tidy exit non-zero. The findings are printed once each, after the run.
if ! xargs -r -P "$jobs" -n 1 "$clang_tidy" -p "$dir" --quiet --warnings-as-errors='*' \
  <"$dir/lint-sources.txt" >"$dir/clang-tidy.log" 2>&1; then
  failed+=(clang-tidy)
  grep -E '^[^ ].*: (warning|error): ' "$dir/clang-tidy.log" | sort -u ||
    cat "$dir/clang-tidy.log"
fi

echo "== cppcheck"
# The compile database gives cppcheck each source with its include paths and
# macros; the googletest library file teaches it the TEST macros. Nothing is
# suppressed but by an inline comment with its reason.
if ! "$cppcheck" --project="$dir/compile_commands.json" -j "$jobs" --quiet --library=googletest \
  --enable=warning,performance,portability --inline-suppr --error-exitcode=1; then
  failed+=(cppcheck)
fi

echo "lint took $((SECONDS - started)) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "lint: findings from ${failed[*]}" >&2
  exit 1
fi
echo "lint: no findings"
