#!/usr/bin/env bash
# Pictures and the report of long records: kov-batch --report and --plot on
# records of 33,028 rows (17 columns, as a real three-hour test) and of
# 1,000,000 rows (3 columns), both 35 cycles with a jittering load, written
# by bench/make_record.py. Each call is timed whole (wall clock, best of
# RUNS) with and without the output, so the difference is what it costs.
# Targets: the page of the 33,028-row record under 0.3 s and 400 KB; the SVG
# picture of either record under 300 KB.
# Usage: bench/measure-long-record.sh [path/to/kov-batch] [runs]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
exe=${1:-$top/build/batch/kov-batch}
runs=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$top/bench/make_record.py" "$work/long.prn" 17 33028
python3 "$top/bench/make_record.py" "$work/million.prn" 3 1000000

best() { python3 "$top/bench/best_wall.py" "$runs" "$@"; } # best wall time of RUNS runs, in seconds
cost() { python3 -c "print('%.3f' % ($2 - $1))"; }

for record in long million; do
  common=("$exe" --stdout --x-column 2 --y-column 3 --y-unit kN "$work/$record.prn")
  rows=$(($(wc -l < "$work/$record.prn") - 5))
  plain=$(best "${common[@]}")
  report=$(best "${common[@]}" --report "$work/$record.html")
  svg=$(best "${common[@]}" --plot "$work/$record.svg")
  png=$(best "${common[@]}" --plot "$work/$record.png")
  echo "$rows rows:"
  echo "  kov-batch alone:  $plain s"
  echo "  --report:         $report s (the page: $(cost "$plain" "$report") s, $(stat -c %s "$work/$record.html") bytes)"
  echo "  --plot SVG:       $svg s (the picture: $(cost "$plain" "$svg") s, $(stat -c %s "$work/$record.svg") bytes)"
  echo "  --plot PNG:       $png s (the picture: $(cost "$plain" "$png") s, $(stat -c %s "$work/$record.png") bytes)"
done
