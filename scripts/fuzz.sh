#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, default 60
# seconds, starting from the seed corpus and every past finding. Fails on any
# finding; the input that broke a target is left in build-fuzz/findings/.
#
#   scripts/fuzz.sh [seconds]
#
# Memory: the targets skip pictures that the image model could hold but that
# are larger than 1 MiB (see fuzz/fuzz_support.h), so the reader never has a
# reason to ask for much. -malloc_limit_mb=2048 makes any single request of
# 2^31 bytes or more a finding: the model never holds that much, and the
# reader must refuse such claims without asking.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build-fuzz

CXX=${FUZZ_CXX:-clang++} cmake -S . -B "$dir" -DONDA_FUZZ=ON -DONDA_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j 2 --target fuzz_read fuzz_roundtrip

mkdir -p "$dir/findings"
for target in read roundtrip; do
  work="$dir/corpus-$target"
  mkdir -p "$work"
  echo "== fuzz_$target for $seconds s"
  ASAN_OPTIONS=detect_leaks=1 \
  UBSAN_OPTIONS=print_stacktrace=1 \
    "$dir/fuzz/fuzz_$target" "$work" fuzz/corpus fuzz/regressions \
    -max_total_time="$seconds" -timeout=10 -malloc_limit_mb=2048 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$dir/findings/$target-" \
    >"$dir/fuzz-$target.log" 2>&1 || {
      tail -n 60 "$dir/fuzz-$target.log"
      echo "fuzz_$target found a fault; the input is in $dir/findings/" >&2
      exit 1
    }
  grep -E 'DONE +cov' "$dir/fuzz-$target.log" || true
  grep -E 'stat::(number_of_executed_units|average_exec_per_sec)' "$dir/fuzz-$target.log" || true
done
echo "Fuzzing found nothing."
