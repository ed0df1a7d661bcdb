#!/usr/bin/env bash
# Builds the Debian packages kov_VERSION_ARCH.deb (and python3-kov_VERSION_ARCH.deb,
# the Python module) from scratch: a clean build
# folder (build-package/, or $KOV_PACKAGE_BUILD_DIR) with Debian's hardening
# flags, installed to /usr by cpack, checked by lintian. The package lands in
# the repository root (or $KOV_PACKAGE_OUT); install it with
#   sudo apt install ./kov_*.deb ./python3-kov_*.deb
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KOV_PACKAGE_BUILD_DIR:-$top/build-package}
out=${KOV_PACKAGE_OUT:-$top}
"$top/scripts/setup.sh"

rm -rf "$build"
# Debian's compiler and linker flags, all hardening on (stack protector,
# fortify, relro, immediate binding).
export DEB_BUILD_MAINT_OPTIONS=${DEB_BUILD_MAINT_OPTIONS:-hardening=+all}
eval "$(dpkg-buildflags --export=sh)"
CXXFLAGS="$CPPFLAGS $CXXFLAGS" cmake -S "$top" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DBUILD_TESTING=OFF -DKOV_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "${KOV_JOBS:-$(nproc)}"
(cd "$build" && cpack -G DEB >/dev/null)

debs=("$build"/kov_*.deb "$build"/python3-kov_*.deb)
[ -f "${debs[0]}" ] || { echo "package.sh: cpack made no package" >&2; exit 1; }
mkdir -p "$out"
for deb in "${debs[@]}"; do
  [ -f "$deb" ] || continue
  cp "$deb" "$out/"
  deb=$out/$(basename "$deb")
  # Errors fail the build; the warnings that stay are explained in
  # cmake/KovPackage.cmake.
  lintian --fail-on error "$deb"
  echo "$deb"
done
