#!/usr/bin/env bash
# Sets up, builds and runs every test.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
cd "${KOV_BUILD_DIR:-$top/build}"
ctest --output-on-failure -j "$(nproc)"
