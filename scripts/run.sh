#!/usr/bin/env bash
# Sets up, builds and starts the kov window.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
exec "${KOV_BUILD_DIR:-$top/build}/app/kov" "$@"
