#!/usr/bin/python3
"""kov-batch over many records: the default jobs against -j 1, on disk and
in memory, and the peak memory of a long call.

  1. RECORDS records of 2000 steps x 17 columns (bench/make_record.py), in a
     folder on disk (ext4: every file synced) and in /dev/shm (tmpfs): wall
     time of one call with -j 1 and with the default jobs (the cores of the
     process), best of ROUNDS; the goal is default <= 0.6 x -j 1.
  2. LONG records of 33,000 rows (make_record.py's long kind): the call
     finishes, and its peak memory (/usr/bin/time) is compared with that of a
     call over a tenth of them: it must not grow with the record count.
Prints the core count with the figures.
Usage: bench/measure-jobs.py [--kov-batch EXE] [--records 1000] [--long 1000] [--rounds 3]
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
from best_wall import best_wall  # noqa: E402

OPTIONS = ["--x-column", "2", "--y-column", "3", "--y-unit", "kN"]


def make(folder, count, text):
    paths = []
    for k in range(count):
        path = os.path.join(folder, "r%05d.prn" % k)
        with open(path, "w", newline="") as f:
            f.write(text)
        paths.append(path)
    return paths


def peak_kib(argv):
    err = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True).stderr
    return int(err.strip().splitlines()[-1])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--kov-batch", default=os.path.join(here, "..", "build", "batch", "kov-batch"))
    ap.add_argument("--records", type=int, default=1000)
    ap.add_argument("--long", type=int, default=1000)
    ap.add_argument("--rounds", type=int, default=3)
    args = ap.parse_args()
    exe = os.path.abspath(args.kov_batch)
    print("cores available: %d" % len(os.sched_getaffinity(0)))

    text = make_record.record(17)
    for label, parent in (("disk", None), ("/dev/shm", "/dev/shm")):
        work = tempfile.mkdtemp(prefix="kov-jobs-", dir=parent)
        try:
            records = make(work, args.records, text)
            one = best_wall([exe, "-j", "1"] + OPTIONS + records, args.rounds)
            default = best_wall([exe] + OPTIONS + records, args.rounds)
            print("%-8s %d records: -j 1 %.2f s (%.2f ms a record), default %.2f s (%.2f ms): %.2f x"
                  % (label, args.records, one, one * 1000 / args.records, default,
                     default * 1000 / args.records, default / one))
        finally:
            shutil.rmtree(work)

    work = tempfile.mkdtemp(prefix="kov-long-", dir="/dev/shm")
    try:
        records = make(work, args.long, make_record.record(17, 33000))
        tenth = records[:max(1, args.long // 10)]
        small = peak_kib([exe] + OPTIONS + tenth)
        start = time.perf_counter()
        large = peak_kib([exe] + OPTIONS + records)
        took = time.perf_counter() - start
        print("%d records of 33,000 rows: %.1f s, peak %.1f MiB (%d records: %.1f MiB)"
              % (args.long, took, large / 1024, len(tenth), small / 1024))
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
