# Checks of an installed tree, shared by check_install.sh and check_package.sh
# (sourced). check_tree ROOT PREFIX: ROOT is where the files of PREFIX lie
# (DESTDIR + PREFIX, or the unpacked package + /usr). Uses gui (gui|nogui),
# validate (desktop-file-validate) and golden (the results file of
# first-try.prn, whose line 2 is not compared); reports every fault on stderr
# and sets fail=1.

fault() { echo "$*" >&2; fail=1; }

# The text without its second line (the date and time of writing).
without_line2() { sed '2d' "$1"; }

# The long options that head the entries of a gzipped man page's OPTIONS, sorted.
man_options() {
  zcat "$1" | sed -n '/^\.SH OPTIONS/,/^\.SH /{/^\.TP/{n;p}}' | grep -oE '(\\-){2}[a-z](\\-|[a-z])*' |
    sed 's/\\-/-/g' | sort
}

# The long options a completion file offers after "kov-batch --", sorted.
completion_options() {
  bash -c 'source /usr/share/bash-completion/bash_completion; source "$1"
    COMP_WORDS=(kov-batch --) COMP_CWORD=1 COMP_LINE="kov-batch --" COMP_POINT=12
    _kov_batch kov-batch -- kov-batch; printf "%s\n" "${COMPREPLY[@]}"' _ "$1" | grep -vx -- -- | sort
}

# same_options WHAT EXPECTED GOT: a fault naming the options only one has.
same_options() {
  [ "$2" = "$3" ] || fault "$1: options differ from --help: $(diff <(echo "$2") <(echo "$3") | grep '^[<>]' | tr '\n' ' ')"
}

check_tree() {
  local root=$1 prefix=$2 path
  for path in bin/kov-batch share/applications/kov.desktop share/icons/hicolor/scalable/apps/kov.svg \
              share/man/man1/kov.1.gz share/man/man1/kov-batch.1.gz \
              share/bash-completion/completions/kov-batch \
              share/doc/kov/README.md share/doc/kov/copyright share/doc/kov/changelog.gz \
              share/doc/kov/docs/kov-batch.md share/doc/kov/docs/metrics.md share/doc/kov/docs/screenshot.png \
              share/doc/kov/examples/README.md share/doc/kov/examples/first-try.prn \
              share/doc/kov/examples/synthetic-three-cycles.prn; do
    [ -f "$root/$path" ] || fault "missing: $path"
  done
  [ -x "$root/bin/kov-batch" ] || fault "kov-batch is not executable"
  if [ "$gui" = gui ]; then
    [ -x "$root/bin/kov" ] || fault "missing or not executable: bin/kov"
    # A PNG starts with its eight-byte signature.
    [ "$(head -c 8 "$root/share/icons/hicolor/48x48/apps/kov.png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = \
      89504e470d0a1a0a ] || fault "share/icons/hicolor/48x48/apps/kov.png is missing or not a PNG"
  fi

  # kov-batch links no GUI library; its picture module (pictures only) lies
  # in the private folder of the libraries.
  if readelf -d "$root/bin/kov-batch" | grep -E 'NEEDED.*(Qt|libX|libxcb|libGL|libEGL)' >/dev/null; then
    fault "installed kov-batch links GUI libraries"
  fi
  if [ "$gui" = gui ] && [ -z "$(find "$root/lib" -path '*/kov/plugins/kov-pictures.so' -type f)" ]; then
    fault "missing: the picture module lib/.../kov/plugins/kov-pictures.so"
  fi

  "$validate" "$root/share/applications/kov.desktop" || fail=1
  # The entry starts the installed program by the name of its icon in the theme.
  grep -qx 'Exec=kov' "$root/share/applications/kov.desktop" || fault "Exec is not kov"
  grep -qx 'Icon=kov' "$root/share/applications/kov.desktop" || fault "Icon is not kov"

  local version
  version=$("$root/bin/kov-batch" --version) || fault "installed kov-batch --version failed"
  case "$version" in "kov-batch "[0-9]*) ;; *) fault "unexpected version line: $version" ;; esac
  # The window answers --help and --version without a display.
  if [ "$gui" = gui ]; then
    version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/kov" --version) ||
      fault "installed kov --version failed without a display"
    case "$version" in "kov "[0-9]*) ;; *) fault "unexpected version line of kov: $version" ;; esac
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/kov" --help | grep -q '^Usage: kov$' ||
      fault "installed kov --help failed without a display"
  fi

  # Both man pages format without a warning and name the examples folder of
  # this install; kov-batch's documents every option of --help.
  local page warnings
  for page in kov kov-batch; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fault "man page $page: $warnings"
    zcat "$root/share/man/man1/$page.1.gz" | grep -qF "$prefix/share/doc/kov/examples" ||
      fault "man page $page does not name $prefix/share/doc/kov/examples"
  done
  local opt
  for opt in $("$root/bin/kov-batch" --help | grep -oE '^  --[a-z-]+'); do
    zcat "$root/share/man/man1/kov-batch.1.gz" | grep -qF -- "${opt//-/\\-}" ||
      fault "man page does not describe $opt"
  done
  # The options of the man page and of the completion are exactly those of
  # the option table, as --help lists them: none missing, none stale.
  local listed
  listed=$("$root/bin/kov-batch" --help | grep -oE '^  (-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | sort)
  same_options "man page" "$listed" "$(man_options "$root/share/man/man1/kov-batch.1.gz")"
  if [ -r /usr/share/bash-completion/bash_completion ]; then
    same_options completion "$listed" "$(completion_options "$root/share/bash-completion/completions/kov-batch")"
  fi

  # The installed kov-batch on installed examples, in a writable copy:
  # first-try.prn needs no options; the synthetic record with its options
  # gives the same rows, of which first-try.prn is a copy.
  local work
  work=$(mktemp -d)
  cp "$root/share/doc/kov/examples/first-try.prn" "$root/share/doc/kov/examples/synthetic-three-cycles.prn" "$work/"
  if (cd "$work" && "$root/bin/kov-batch" first-try.prn >stdout &&
      "$root/bin/kov-batch" --x-column 2 --y-column 3 --skip-lines 5 --y-unit kN synthetic-three-cycles.prn >>stdout); then
    [ "$(cat "$work/stdout")" = "$work/first-try-kov.prn"$'\n'"$work/synthetic-three-cycles-kov.prn" ] ||
      fault "kov-batch printed: $(cat "$work/stdout")"
    cmp -s <(without_line2 "$work/first-try-kov.prn") <(without_line2 "$golden") ||
      fault "first-try-kov.prn differs from $golden"
    cmp -s <(tail -n +6 "$work/first-try-kov.prn") <(tail -n +6 "$work/synthetic-three-cycles-kov.prn") ||
      fault "the synthetic record and first-try.prn give different rows"
  else
    fault "installed kov-batch failed on the examples"
  fi
  # Pictures are drawn from the installed tree too.
  if [ "$gui" = gui ]; then
    (cd "$work" && "$root/bin/kov-batch" --stdout --plot loop.png first-try.prn >/dev/null) &&
      [ "$(head -c 8 "$work/loop.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
      fault "installed kov-batch --plot made no PNG"
  fi
  rm -rf "$work"
}
