#!/usr/bin/env bash
# check_package.sh BUILD_DIR DESKTOP_FILE_VALIDATE gui|nogui GOLDEN
# Makes the Debian package of the build with cpack, checks its control fields,
# unpacks it into a temporary root with dpkg -x and checks the tree there as
# check_install.sh does, then runs lintian on it; the same for python3-kov,
# the Python module's package, when the build has the module. Exits 77 (skipped) when
# cpack or dpkg-deb is missing.
set -euo pipefail
build=$1 validate=$2 gui=$3 golden=$4
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null ||
    { echo "SKIPPED: $tool is not installed (Debian packages cmake and dpkg-dev), no package to check"; exit 77; }
done
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/installed_tree.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0

cpack --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log" >&2; exit 1; }
debs=("$tmp"/out/kov_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "cpack made no single package: ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}

field() { dpkg-deb --field "$deb" "$1"; }
version=$("$build/batch/kov-batch" --version | cut -d' ' -f2)
[ "$(basename "$deb")" = "kov_${version}_$(dpkg --print-architecture).deb" ] || fault "package name: $(basename "$deb")"
[ "$(field Package)" = kov ] || fault "Package: $(field Package)"
[ "$(field Section)" = science ] || fault "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fault "no Maintainer"
[ -n "$(field Description)" ] || fault "no Description"
# Depends comes from the libraries the programs link.
depends=$(field Depends)
[[ $depends == *libc6* ]] || fault "Depends lacks libc6: $depends"
if [ "$gui" = gui ]; then
  [[ $depends == *libqt6widgets6* && $depends == *qt6-qpa-plugins* && $depends == *libqt6svg6* ]] ||
    fault "Depends lacks Qt (widgets, platform plugins, SVG icon engine): $depends"
fi

dpkg -x "$deb" "$tmp/root"
check_tree "$tmp/root/usr" /usr

if command -v lintian >/dev/null; then
  lint=0
  report=$(lintian --fail-on error "$deb" 2>&1) || lint=$?
  grep -v 'running with root privileges' <<<"$report" >&2 || true
  [ $lint -eq 0 ] || fault "lintian reports errors"
else
  echo "lintian is not installed (Debian package lintian): package not linted"
fi
# The Python module's package, when the build has the module: its fields,
# its files where Debian's python3 finds them, the module working from there
# on an installed example, and lintian.
if [ -f "$build/python/kov/__init__.py" ]; then
  pydeb=$tmp/out/python3-kov_${version}_$(dpkg --print-architecture).deb
  if [ -f "$pydeb" ]; then
    [ "$(dpkg-deb --field "$pydeb" Section)" = python ] || fault "python3-kov Section: $(dpkg-deb --field "$pydeb" Section)"
    pydepends=$(dpkg-deb --field "$pydeb" Depends)
    [[ $pydepends == *libc6* && $pydepends == *python3-numpy* && $pydepends == *python3-pandas* &&
       $pydepends == *"python3 (<< 3.12)"* ]] || fault "python3-kov Depends: $pydepends"
    dpkg -x "$pydeb" "$tmp/pyroot"
    site=$tmp/pyroot/usr/lib/python3/dist-packages
    for path in "$site/kov/__init__.py" "$tmp/pyroot/usr/share/doc/python3-kov/copyright" \
                "$tmp/pyroot/usr/share/doc/python3-kov/changelog.gz"; do
      [ -f "$path" ] || fault "python3-kov lacks ${path#"$tmp/pyroot"}"
    done
    compgen -G "$site/kov/_kov.cpython-*.so" >/dev/null || fault "python3-kov lacks the module _kov"
    cp "$tmp/root/usr/share/doc/kov/examples/first-try.prn" "$tmp/"
    if got=$(cd "$tmp" && PYTHONPATH=$site PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -c '
import sys, kov
print(kov.__version__)
sys.stdout.write(kov.analyse("first-try.prn").results_text())'); then
      [ "$(head -n 1 <<<"$got")" = "$version" ] || fault "kov.__version__ of python3-kov: $(head -n 1 <<<"$got")"
      cmp -s <(tail -n +2 <<<"$got" | sed '2d') <(without_line2 "$golden") ||
        fault "python3-kov's results text of first-try.prn differs from $golden"
    else
      fault "python3-kov's module does not work"
    fi
    if command -v lintian >/dev/null; then
      lint=0
      report=$(lintian --fail-on error,warning "$pydeb" 2>&1) || lint=$?
      grep -v 'running with root privileges' <<<"$report" >&2 || true
      [ $lint -eq 0 ] || fault "lintian reports errors or warnings on python3-kov"
    fi
  else
    fault "cpack made no python3-kov package"
  fi
fi
[ $fail -eq 0 ] && echo "package $(basename "$deb") complete: $depends"
exit $fail
