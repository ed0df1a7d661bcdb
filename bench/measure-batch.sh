#!/usr/bin/env bash
# Process time and peak memory of whole kov-batch runs on a 2000-step record,
# against the baseline of a run that only prints its version. Process time
# includes the fork and exec of each run (the same in both, so it cancels).
# Usage: bench/measure-batch.sh [path/to/kov-batch] [runs]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
exe=${1:-$top/build/batch/kov-batch}
runs=${2:-50}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 2000 rows of a growing loop, 20 cycles, five header lines.
awk 'BEGIN {
  printf "cyclic test\r\nsynthetic\r\nrecord\r\nstep  disp  load\r\n      (mm)  (kN)\r\n";
  pi = 3.14159265358979323846;
  for (i = 1; i <= 2000; i++) {
    ph = 2 * pi * (i - 1) / 100; a = 1 + 0.2 * (i - 1) / 100;
    printf "%5d %12.6f %10.4f\r\n", i, a * 10 * sin(ph), a * 150 * sin(ph + 0.4);
  }
}' > "$work/record.prn"

python3 - "$exe" "$runs" "$work/record.prn" <<'PY'
import os, resource, subprocess, sys
exe, runs, record = sys.argv[1], int(sys.argv[2]), sys.argv[3]

def peak_kib(args):
    """Peak RSS of one run, measured by /usr/bin/time, whose small process
    forks the run (a fork of this Python process would count its memory)."""
    out = subprocess.run(["/usr/bin/time", "-f", "%M", exe] + args, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, check=True).stderr
    return int(out.strip().splitlines()[-1])

def measure(args):
    """Mean user+system time (ms) per run and the largest peak RSS (KiB)."""
    cpu = 0.0
    rss = max(peak_kib(args) for _ in range(5))
    for _ in range(runs):
        pid = os.fork()
        if pid == 0:
            fd = os.open(os.devnull, os.O_WRONLY)
            os.dup2(fd, 1)
            os.execv(exe, [exe] + args)
        _, status, ru = os.wait4(pid, 0)
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit("kov-batch failed: %s" % args)
        cpu += ru.ru_utime + ru.ru_stime
    return cpu * 1000.0 / runs, rss

base_ms, base_kib = measure(["--version"])
run_ms, run_kib = measure(["--x-column", "2", "--y-column", "3", record])
print("baseline (--version): %.3f ms process time, %d KiB max RSS" % (base_ms, base_kib))
print("2000-step record:     %.3f ms process time, %d KiB max RSS" % (run_ms, run_kib))
print("record beyond baseline: %.3f ms, %d KiB" % (run_ms - base_ms, run_kib - base_kib))
PY
