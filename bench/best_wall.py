#!/usr/bin/python3
"""The best wall time, in seconds, of RUNS runs of a command (its standard
output discarded; a failing run stops the measurement). As a script it
prints it; bench/measure-jobs.py imports best_wall.
Usage: best_wall.py RUNS COMMAND [ARGUMENT...]"""
import subprocess
import sys
import time


def best_wall(command, runs):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
        took = time.perf_counter() - start
        best = took if best is None else min(best, took)
    return best


if __name__ == "__main__":
    print("%.3f" % best_wall(sys.argv[2:], int(sys.argv[1])))
