#!/usr/bin/env bash
# Configures and builds kov in build/ (or $KOV_BUILD_DIR).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_BUILD_DIR:-$top/build}
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKOV_WERROR="${KOV_WERROR:-$werror}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
