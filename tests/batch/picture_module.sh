#!/usr/bin/env bash
# picture_module.sh KOV_BATCH RECORD
# A run without pictures, the report's included, loads no Qt, X, GL or font
# library; --plot loads the picture module (and Qt with it). A kov-batch
# whose module is missing still runs, and writes its report, and for --plot
# names the missing module and exits 1; so does one whose own path cannot
# be read.
set -euo pipefail
exe=$1 record=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$record" "$work/r.prn"
cd "$work"
fail=0
fault() { echo "$*" >&2; fail=1; }

gui='libQt|libX|libxcb|libGL|libEGL|libfontconfig|libfreetype|libpng|kov-pictures'
LD_DEBUG=files "$exe" --stdout r.prn 2>loaded >/dev/null || fault "plain run failed"
if grep -E "file=.*($gui)" loaded >/dev/null; then
  fault "a run without pictures loads: $(grep -oE "file=[^ ]*($gui)[^ ]*" loaded | sort -u | tr '\n' ' ')"
fi
LD_DEBUG=files "$exe" --stdout --plot p.png r.prn 2>loaded >/dev/null || fault "--plot failed"
grep -E 'file=.*kov-pictures\.so' loaded >/dev/null || fault "--plot did not load the picture module"
[ -s p.png ] || fault "--plot made no picture"
LD_DEBUG=files "$exe" --stdout --report r.html r.prn 2>loaded >/dev/null || fault "--report failed"
if grep -E "file=.*($gui)" loaded >/dev/null; then
  fault "--report loads: $(grep -oE "file=[^ ]*($gui)[^ ]*" loaded | sort -u | tr '\n' ' ')"
fi
[ -s r.html ] || fault "--report made no report"

# The same program without its module beside it.
cp "$exe" ./kov-batch
./kov-batch --stdout r.prn >out 2>err || fault "plain run without the module failed: $(cat err)"
[ -s out ] && [ ! -s err ] || fault "plain run without the module: $(cat err)"
status=0
./kov-batch --stdout --plot q.png r.prn >out 2>err || status=$?
[ $status -eq 1 ] || fault "--plot without the module exited $status"
grep -q '^r.prn: cannot draw q.png: the picture module .*/kov-pictures.so cannot be loaded' err ||
  fault "--plot without the module said: $(cat err)"
[ -s out ] || fault "--plot without the module wrote no results"
[ ! -e q.png ] || fault "--plot without the module made a picture"
./kov-batch --stdout --report s.html r.prn >out 2>err || fault "--report without the module failed: $(cat err)"
[ -s out ] && [ -s s.html ] && [ ! -s err ] || fault "--report without the module: $(cat err)"

# A program whose own path cannot be read (longer than the kernel shows)
# looks for its module nowhere else, least of all from the current folder.
deep=$work/deep
mkdir "$deep" && cd "$deep"
for _ in $(seq 18); do d=$(printf 'd%.0s' $(seq 250)); mkdir "$d" && cd "$d"; done
cp "$exe" ./kov-batch && cp "$work/r.prn" .
status=0
LD_DEBUG=files ./kov-batch --stdout --plot d.png r.prn >out 2>err || status=$?
[ $status -eq 1 ] || fault "--plot from a path too long exited $status"
grep -q "^r.prn: cannot draw d.png: the picture module cannot be found: the program's own path" err ||
  fault "--plot from a path too long said: $(grep -v '^ *[0-9]*:' err)"
! grep -q 'kov-pictures' err || fault "--plot from a path too long looked for the module"
cd "$work"
exit $fail
