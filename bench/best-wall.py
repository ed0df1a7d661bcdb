#!/usr/bin/python3
"""Prints the best wall time, in seconds, of RUNS runs of a command (its
standard output discarded; a failing run stops the measurement).
Usage: best-wall.py RUNS COMMAND [ARGUMENT...]"""
import subprocess
import sys
import time

runs, command = int(sys.argv[1]), sys.argv[2:]
best = None
for _ in range(runs):
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
    took = time.perf_counter() - start
    best = took if best is None else min(best, took)
print("%.3f" % best)
