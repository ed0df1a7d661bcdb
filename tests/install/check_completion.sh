#!/usr/bin/env bash
# check_completion.sh COMPLETION_FILE KOV_BATCH
# The bash completion of kov-batch offers its options, the unit lists after
# --x-unit and --y-unit, pictures after --plot, CSV files after --summary,
# HTML pages after --report and records (*.prn) and folders elsewhere.
# Exits 77 (skipped) without bash-completion.
set -uo pipefail
library=/usr/share/bash-completion/bash_completion
[ -r "$library" ] || { echo "SKIPPED: bash-completion is not installed"; exit 77; }
source "$library"
source "$1"
batch=$2
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
touch a.prn B.PRN notes.txt loop.png loop.svg all.csv all.html
mkdir sub
fail=0

# offered LINE: what completing the last word of LINE offers, sorted, one line.
offered() {
  COMP_LINE=$1 COMP_POINT=${#1}
  # bash splits at blanks and keeps "=" as a word of its own.
  read -ra COMP_WORDS <<<"${1//=/ = }"
  [[ $1 == *' ' ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _kov_batch kov-batch "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd' '
}

while IFS='|' read -r line expected; do
  got=$(offered "$line")
  [ "$got" = "$expected" ] || { echo "'$line' offers '$got', expected '$expected'" >&2; fail=1; }
done <<'CASES'
kov-batch --x|--x-coef --x-column --x-offset --x-unit
kov-batch |B.PRN a.prn sub
kov-batch a.prn |B.PRN a.prn sub
kov-batch --y-unit k|kN kgf
kov-batch --x-unit=m|m mm
kov-batch --skip-lines |auto
kov-batch --x-column |
kov-batch --plot |loop.png loop.svg sub
kov-batch --summary |all.csv sub
kov-batch --campaign |all.csv sub
kov-batch --report |all.html sub
kov-batch --level-tolerance |
kov-batch --height |
kov-batch -- -|
kov-batch -- |B.PRN a.prn sub
CASES

# Every option of --help is offered.
options=$(offered 'kov-batch --')
for opt in $("$batch" --help | grep -oE '^  --[a-z-]+'); do
  [[ " $options " == *" $opt "* ]] || { echo "completion does not offer $opt" >&2; fail=1; }
done
[ $fail -eq 0 ] && echo "completion offers: $options"
exit $fail
