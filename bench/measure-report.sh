#!/usr/bin/env bash
# Time and size of kov-batch --report over 100 records of 2000 steps, the
# largest call the report is made for. Two kinds of record: 20 cycles of 100
# steps (a usual test) and 100 cycles of 20 steps (the most cycles kov
# analyses, so the most markers and table rows). Each call is timed whole
# (wall clock, best of RUNS) with and without --report, so the difference is
# what the page costs. Several programs may be given (a build of main beside
# this one): their runs take turns, so that both see the same load. Targets:
# under 2 s and under 10 MB, and no slower nor larger than the program before.
# Usage: bench/measure-report.sh [path/to/kov-batch ...]   (RUNS=3 by default)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -gt 0 ] || set -- "$top/build/batch/kov-batch"
runs=${RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# record FILE STEPS_PER_CYCLE SEED: 2000 rows of a growing loop with a little
# noise, five header lines.
record() {
  awk -v per="$2" -v seed="$3" 'BEGIN {
    srand(seed);
    printf "cyclic test\r\nsynthetic\r\nrecord\r\nstep  disp  load\r\n      (mm)  (kN)\r\n";
    pi = 3.14159265358979323846;
    for (i = 1; i <= 2000; i++) {
      ph = 2 * pi * (i - 1) / per; a = 1 + 0.2 * (i - 1) / per;
      printf "%5d %12.6f %10.4f\r\n", i, a * 10 * sin(ph) + 0.01 * rand(),
             a * 150 * sin(ph + 0.4) / (1 + 0.05 * a) + 0.1 * rand();
    }
  }' > "$1"
}

for kind in 100 20; do
  mkdir -p "$work/$kind"
  for n in $(seq -w 1 100); do
    record "$work/$kind/specimen-$n.prn" "$kind" "$n"
  done
done

once() { python3 "$top/bench/best_wall.py" 1 "$@"; } # the wall time of one run, in seconds
min() { python3 -c "import sys; print('%.3f' % min(map(float, sys.argv[1:])))" "$@"; }

for kind in 100 20; do
  cycles=$((2000 / kind))
  records=("$work/$kind"/specimen-*.prn)
  echo "100 records x 2000 steps, $cycles cycles each:"
  declare -A plain=() with=()
  for _ in $(seq "$runs"); do
    for k in $(seq $#); do
      exe=${!k}
      plain[$k]+=" $(once "$exe" --x-column 2 --y-column 3 --y-unit kN "${records[@]}")"
      with[$k]+=" $(once "$exe" --x-column 2 --y-column 3 --y-unit kN --report "$work/$kind/report-$k.html" "${records[@]}")"
    done
  done
  for k in $(seq $#); do
    p=$(min ${plain[$k]}) w=$(min ${with[$k]})
    size=$(stat -c %s "$work/$kind/report-$k.html")
    echo "  ${!k}"
    echo "    without --report: ${p} s"
    echo "    with --report:    ${w} s (the page: $(python3 -c "print('%.3f' % ($w - $p))") s)"
    echo "    report.html:      $size bytes ($(python3 -c "print('%.2f' % ($size / 1e6))") MB)"
  done
  unset plain with
done
