#!/usr/bin/python3
"""The cost of publishing files: two kov-batch builds side by side (BEFORE,
AFTER), in interleaved rounds, on disk (a folder on the file system of
--disk-dir, ext4 here) and in /dev/shm (tmpfs):
  20      one call over 20 records of 2000 steps x 17 columns (the results
          files replace those of the round before, as a rerun does)
  1000    one call over 1,000 such records with the default jobs
Prints for each the best wall time of each build over ROUNDS and the ratio
AFTER / BEFORE. The machine should be idle: other writers on the same disk
change what a sync waits for.
Usage: bench/measure-publish.py --before EXE --after EXE [--rounds 7] [--disk-dir DIR]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import make_record  # noqa: E402

OPTIONS = ["--x-column", "2", "--y-column", "3", "--y-unit", "kN"]


def make(folder, count, text):
    paths = []
    for k in range(count):
        path = os.path.join(folder, "r%05d.prn" % k)
        with open(path, "w", newline="") as f:
            f.write(text)
        paths.append(path)
    return paths


def wall(exe, paths, extra):
    start = time.perf_counter()
    subprocess.run([exe] + OPTIONS + extra + paths, stdout=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--before", required=True)
    ap.add_argument("--after", required=True)
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--disk-dir", default=os.path.join(here, ".."))
    ap.add_argument("--extra", default="", help="more options for both, e.g. '--json --csv'")
    args = ap.parse_args()
    exes = {"before": os.path.abspath(args.before), "after": os.path.abspath(args.after)}
    extra = args.extra.split()
    text = make_record.record(17)
    print("cores available: %d" % len(os.sched_getaffinity(0)))
    for label, parent in (("disk", args.disk_dir), ("/dev/shm", "/dev/shm")):
        work = tempfile.mkdtemp(prefix="kov-publish-", dir=parent)
        try:
            for count in (20, 1000):
                folder = os.path.join(work, str(count))
                os.mkdir(folder)
                paths = make(folder, count, text)
                best = {name: None for name in exes}
                for name, exe in exes.items():  # the first results files exist for both
                    wall(exe, paths, extra)
                for _ in range(args.rounds):
                    for name, exe in exes.items():
                        took = wall(exe, paths, extra)
                        best[name] = took if best[name] is None else min(best[name], took)
                print("%-8s %5d records: before %.4f s, after %.4f s, after/before %.2f"
                      % (label, count, best["before"], best["after"], best["after"] / best["before"]))
        finally:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
