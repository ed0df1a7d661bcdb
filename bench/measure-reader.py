#!/usr/bin/python3
"""The reader side by side: kov-batch --json on a record of 33,028 rows x 17
columns (3 MB, a real three-hour test) and on one of 1,000,000 rows x 17
columns (93 MB), both written by make_record.py into /dev/shm, for several
programs in interleaved rounds. Prints for each program and record the best
and the median wall time (process start to exit) and the best CPU time
(user + system) over ROUNDS, with the ratios of the best to the first
program's.

A program is LABEL=EXE, optionally LABEL=EXE@NAME=VALUE,... to run it with
those environment variables (the same executable under several settings).
Usage: bench/measure-reader.py [--rounds 9] [--rows 33028,1000000] LABEL=EXE[@VAR=VALUE,...] ...
"""
import argparse
import os
import shutil
import statistics
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import make_record  # noqa: E402


def run_once(argv, env):
    """(wall, CPU) seconds of one run, its output thrown away; CPU is user +
    system time, which a busy machine disturbs less than the wall clock."""
    quiet = [(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
             (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)]
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, env, file_actions=quiet)
    _, status, usage = os.wait4(pid, 0)
    took = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("measure-reader.py: %s failed" % " ".join(argv))
    return took, usage.ru_utime + usage.ru_stime


def program(argument):
    label, _, rest = argument.partition("=")
    exe, _, settings = rest.partition("@")
    env = dict(os.environ)
    for setting in filter(None, settings.split(",")):
        name, _, value = setting.partition("=")
        env[name] = value
    return label, os.path.abspath(exe), env


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=9)
    ap.add_argument("--rows", default="33028,1000000")
    ap.add_argument("programs", nargs="+")
    args = ap.parse_args()
    programs = [program(p) for p in args.programs]
    print("cores available: %d, load average %.1f" % (len(os.sched_getaffinity(0)), os.getloadavg()[0]))
    work = tempfile.mkdtemp(prefix="kov-reader-", dir="/dev/shm")
    os.chdir(work)  # the records are named relative to it, the JSON files written there
    try:
        for rows in map(int, args.rows.split(",")):
            name = "r%d.prn" % rows
            with open(os.path.join(work, name), "w", newline="") as f:
                f.write(make_record.record(17, rows))
            times = {label: [] for label, _, _ in programs}
            for _ in range(args.rounds + 1):  # the first round warms the caches
                for label, exe, env in programs:
                    argv = [exe, "--x-column", "2", "--y-column", "3", "--json", name]
                    times[label].append(run_once(argv, env))
            first = [min(t[k] for t in times[programs[0][0]][1:]) for k in (0, 1)]
            print("%d rows x 17 columns, --json, best of %d (wall; CPU):" % (rows, args.rounds))
            for label, _, _ in programs:
                wall = [t[0] for t in times[label][1:]]
                cpu = [t[1] for t in times[label][1:]]
                print("  %-14s wall best %.4f s median %.4f s, %.3f x; CPU best %.4f s, %.3f x"
                      % (label, min(wall), statistics.median(wall), min(wall) / first[0], min(cpu), min(cpu) / first[1]))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
