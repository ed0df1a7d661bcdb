#!/usr/bin/env bash
# check_install.sh CMAKE BUILD_DIR DESKTOP_FILE_VALIDATE gui|nogui GOLDEN
# Runs `cmake --install` into a temporary DESTDIR and checks that the programs,
# the desktop entry, the icons, the man pages, the completion, the
# documentation and the examples are where a desktop expects them, and that
# the installed kov-batch works.
set -euo pipefail
cmake=$1 build=$2 validate=$3 gui=$4 golden=$5
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/installed_tree.sh"
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
prefix=/usr/local
DESTDIR=$dest "$cmake" --install "$build" --prefix "$prefix" >/dev/null
fail=0
check_tree "$dest$prefix" "$prefix"
[ $fail -eq 0 ] && echo "install tree complete in $dest$prefix"
exit $fail
