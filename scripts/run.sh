#!/usr/bin/env bash
# Sets up, builds and starts the kov window in the examples folder, so that
# the first "Browse" lists the sample records (first-try.prn needs no
# settings). The results files written there are ignored by git.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
build=${KOV_BUILD_DIR:-$top/build}
program=$(cd "$build" && pwd)/window/kov # before leaving the caller's folder
cd "$top/examples"
exec "$program" "$@"
