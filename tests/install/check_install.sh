#!/usr/bin/env bash
# check_install.sh CMAKE BUILD_DIR DESKTOP_FILE_VALIDATE gui|nogui
# Runs `cmake --install` into a temporary DESTDIR and checks that the programs,
# the desktop entry, the icons and the man page are where a desktop expects them.
set -euo pipefail
cmake=$1 build=$2 validate=$3 gui=$4
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
prefix=/usr/local
DESTDIR=$dest "$cmake" --install "$build" --prefix "$prefix" >/dev/null
root=$dest$prefix
fail=0
need() { # need TEST PATH: report a missing or wrong file
  if ! test "$1" "$root/$2"; then echo "missing or wrong: $2" >&2; fail=1; fi
}

need -x bin/kov-batch
need -f share/applications/kov.desktop
need -f share/icons/hicolor/scalable/apps/kov.svg
need -f share/man/man1/kov-batch.1
if [ "$gui" = gui ]; then
  need -x bin/kov
  need -f share/icons/hicolor/48x48/apps/kov.png
  # A PNG starts with its eight-byte signature.
  if [ -f "$root/share/icons/hicolor/48x48/apps/kov.png" ] &&
     [ "$(head -c 8 "$root/share/icons/hicolor/48x48/apps/kov.png" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    echo "kov.png is not a PNG" >&2; fail=1
  fi
fi

"$validate" "$root/share/applications/kov.desktop" || fail=1
# The entry starts the installed program by the name of its icon in the theme.
grep -qx 'Exec=kov' "$root/share/applications/kov.desktop" || { echo "Exec is not kov" >&2; fail=1; }
grep -qx 'Icon=kov' "$root/share/applications/kov.desktop" || { echo "Icon is not kov" >&2; fail=1; }

# The installed tool runs on its own, away from the build tree.
version=$("$root/bin/kov-batch" --version) || { echo "installed kov-batch --version failed" >&2; fail=1; }
case "$version" in "kov-batch "[0-9]*) ;; *) echo "unexpected version line: $version" >&2; fail=1 ;; esac

# The man page formats without a warning and documents every option of --help.
if command -v groff >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww "$root/share/man/man1/kov-batch.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "man page warnings: $warnings" >&2; fail=1; }
fi
for opt in $("$root/bin/kov-batch" --help | grep -oE '^  --[a-z-]+'); do
  grep -qF -- "${opt//-/\\-}" "$root/share/man/man1/kov-batch.1" ||
    { echo "man page does not describe $opt" >&2; fail=1; }
done

[ $fail -eq 0 ] && echo "install tree complete in $root"
exit $fail
