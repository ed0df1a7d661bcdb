#!/usr/bin/env bash
# Sets up, builds and runs every test, in three stages:
#   plain  the normal build in build/ (or $KOV_BUILD_DIR) and the whole CTest suite
#   asan   a second build with AddressSanitizer and UndefinedBehaviorSanitizer in
#          build-asan/ running the whole suite again; any report fails the run
#   fuzz   the libFuzzer harnesses, FUZZ_SECONDS (default 60) each (scripts/fuzz.sh)
# For a quick local run choose stages: KOV_TEST_STAGES=plain scripts/test.sh
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
stages=${KOV_TEST_STAGES:-plain asan fuzz}
jobs=$(nproc)
"$top/scripts/setup.sh"

passed=0 failed=0
stage() { # stage NAME COMMAND...: runs one stage, counts it, goes on after a failure
  local name=$1 start=$SECONDS
  shift
  echo "=== stage $name"
  if "$@"; then
    passed=$((passed + 1))
    echo "=== stage $name passed in $((SECONDS - start))s"
  else
    failed=$((failed + 1))
    echo "=== stage $name FAILED after $((SECONDS - start))s"
  fi
}

# The stages run as if-conditions, where set -e does not act: every step
# chains with && so that a failed build never goes on to run stale tests.
plain() {
  "$top/scripts/build.sh" &&
  (cd "${KOV_BUILD_DIR:-$top/build}" && ctest --output-on-failure -j "$jobs" --timeout 600)
}

asan() {
  local build=${KOV_ASAN_BUILD_DIR:-$top/build-asan}
  # Warnings are the plain build's business: gcc's instrumentation makes
  # -Wmaybe-uninitialized misfire inside the standard library (std::regex).
  KOV_BUILD_DIR=$build "$top/scripts/build.sh" -DKOV_SANITIZE=ON -DKOV_BUILD_BENCHMARKS=OFF \
    -DKOV_WERROR=OFF || return 1
  # Every report ends the test program with an error; leaks of third-party
  # libraries we cannot mend are listed in lsan.supp, never leaks of our own.
  export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1
  export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
  export LSAN_OPTIONS=suppressions=$top/scripts/lsan.supp:print_suppressions=0
  (cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 900)
}

fuzz() {
  "$top/scripts/fuzz.sh"
}

for s in $stages; do
  case $s in
  plain | asan | fuzz) stage "$s" "$s" ;;
  *) echo "test.sh: unknown stage '$s' (plain, asan, fuzz)" >&2; exit 2 ;;
  esac
done
echo "=== all stages took ${SECONDS}s"
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
