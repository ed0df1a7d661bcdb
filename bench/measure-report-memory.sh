#!/usr/bin/env bash
# Peak memory (resident set, /usr/bin/time %M) of kov-batch --report as the
# call grows: 150, 300 and 600 small records (200 steps, 10 cycles each) and
# 150, 300 and 600 records of 2000 steps (20 cycles each). The report is
# written as the records come, so the peak should not grow with their number.
# Goal: under 40 MB for 600 small records. Several programs may be given, to
# set one build beside another.
# Usage: bench/measure-report-memory.sh [path/to/kov-batch ...]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -gt 0 ] || set -- "$top/build/batch/kov-batch"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Records of a growing loop with a little noise, five header lines: FOLDER
# ROWS STEPS_PER_CYCLE COUNT.
/usr/bin/python3 - "$work" <<'PY'
import math, os, random, sys
work = sys.argv[1]
for kind, rows, per in (("small", 200, 20), ("long", 2000, 100)):
    os.makedirs(f"{work}/{kind}")
    for n in range(1, 601):
        rnd = random.Random(n)
        lines = ["cyclic test", "synthetic", "record", "step  disp  load", "      (mm)  (kN)"]
        for i in range(1, rows + 1):
            ph = 2 * math.pi * (i - 1) / per
            a = 1 + 0.2 * (i - 1) / per
            lines.append("%5d %12.6f %10.4f" % (i, a * 10 * math.sin(ph) + 0.01 * rnd.random(),
                                               a * 150 * math.sin(ph + 0.4) / (1 + 0.05 * a) + 0.1 * rnd.random()))
        with open(f"{work}/{kind}/specimen-{n:03d}.prn", "w", newline="") as f:
            f.write("\r\n".join(lines) + "\r\n")
PY

for exe in "$@"; do
  echo "$exe"
  for kind in small long; do
    for count in 150 300 600; do
      records=()
      for n in $(seq 1 "$count"); do records+=("$work/$kind/specimen-$(printf %03d "$n").prn"); done
      /usr/bin/time -o "$work/peak" -f %M "$exe" --quiet --x-column 2 --y-column 3 --y-unit kN \
        --report "$work/$kind/report.html" "${records[@]}" >/dev/null 2>&1
      awk -v n="$count" -v kind="$kind" -v kb="$(cat "$work/peak")" -v size="$(stat -c %s "$work/$kind/report.html")" \
        'BEGIN { printf "  %3d %-5s records: peak %6.1f MiB, page %5.1f MB\n", n, kind, kb / 1024, size / 1e6 }'
      rm -f "$work/$kind/report.html" "$work/$kind"/*-kov.prn
    done
  done
done
