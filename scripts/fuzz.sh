#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang in build-fuzz/ (or $KOV_FUZZ_BUILD_DIR)
# and runs each for FUZZ_SECONDS (default 60). Fails on any crash, leak,
# sanitizer report or hang; the offending input is kept in build-fuzz/artifacts/.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_FUZZ_BUILD_DIR:-$top/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
jobs=${KOV_JOBS:-2}

CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKOV_BUILD_GUI=OFF -DKOV_BUILD_BENCHMARKS=OFF -DKOV_BUILD_FUZZERS=ON \
  -DKOV_WERROR="${KOV_WERROR:-OFF}" >/dev/null
cmake --build "$build" -j "$jobs" --target kov_fuzzers

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
mkdir -p "$build/artifacts"
status=0
run() { # run NAME MAX_LEN [EXTRA_SEED_DIR...]
  local name=$1 maxlen=$2
  shift 2
  local work=$build/corpus/$name
  mkdir -p "$work"
  cp -n "$top/fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
  local extra=()
  for d in "$@"; do
    [ -d "$d" ] && [ -n "$(ls -A "$d" 2>/dev/null)" ] && extra+=("$d")
  done
  local log=$build/fuzz-$name.log
  echo "fuzz: $name for ${seconds}s"
  if "$build/fuzz/fuzz_$name" "$work" "${extra[@]}" \
       -max_total_time="$seconds" -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" >"$log" 2>&1; then
    local runs
    runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo '?')
    echo "fuzz: $name ok, $runs executions, corpus $(ls "$work" | wc -l) inputs"
  else
    echo "fuzz: $name FAILED (log: $log)" >&2
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -20 >&2 || true
    status=1
  fi
}
run testrecord 8192 "$top/examples" "$top/tests/data"
run reader_diff 8192 "$top/fuzz/corpus/testrecord" "$top/examples" "$top/tests/data"
run numtext 256
run formats 64
run resultstext 4096
run xlsx 16384
exit $status
