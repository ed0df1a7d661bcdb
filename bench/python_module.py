#!/usr/bin/python3
"""The Python module kov side by side with kov-batch and with numpy and
pandas, in one run (best of RUNS, interleaved):

  analyse   kov.analyse of a 33,028-row x 17-column record, path to the
            cycles DataFrame, against the same work inside kov-batch (a call
            with the metrics and the results text on standard output, less a
            call that only starts: kov-batch --version), and against
            pandas.read_csv of the two columns plus the per-cycle energy in
            numpy (cycles split at the upward zero crossings of the load,
            the energy of each the trapezoid sum of Y dX).
            Goals: at most 1.2x kov-batch; at least 10x faster than pandas.
  read      kov.read_record of a 1,000,000-row x 17-column record into X and
            Y arrays, against numpy.loadtxt(usecols=...) and
            pandas.read_csv(usecols=..., engine="c"). Goal: at least 2x each.
  threads   200 analyses of the 33,028-row record on two threads against
            one. Goal: at most 0.6x (two cores).
  memory    resident memory after 1,000 and after 10,000 calls of
            read_record + analyse (and the cycles table) on one record.
            Goal: no growth.

The machine is shared: the figures are rough.
Usage: PYTHONPATH=build/python python_module.py KOV_BATCH [--runs N] [--only NAME...]"""
import argparse
import concurrent.futures
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_record  # noqa: E402


def best(body, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        body()
        times.append(time.perf_counter() - start)
    return min(times)


def resident_kib():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024


def numpy_energies(path):
    """The per-cycle energy from the definitions, in pandas and numpy."""
    import numpy as np
    import pandas as pd
    frame = pd.read_csv(path, skiprows=5, sep=" ", header=None, usecols=[1, 2], engine="c")
    x, y = frame[1].to_numpy(), frame[2].to_numpy()
    crossing = np.flatnonzero((y[1:] > 0) & (y[:-1] * y[1:] <= 0)) + 1
    work = np.diff(x) * (y[1:] + y[:-1]) / 2
    bounds = np.concatenate(([0], crossing, [len(x) - 1]))
    return np.add.reduceat(work, bounds[:-1]) if len(work) else work


def bench_analyse(kov, batch, folder, runs):
    path = os.path.join(folder, "long.prn")
    with open(path, "w", newline="") as out:
        out.write(make_record.record(17, 33028))
    summary = os.path.join(folder, "summary.csv")
    call = [batch, "--x-column", "2", "--y-column", "3", "--stdout", "--quiet", "--summary", summary, path]
    figures = {"module": [], "batch": [], "start": [], "pandas": []}
    for _ in range(runs):  # interleaved, so that load from others hits all alike
        figures["module"].append(best(lambda: kov.analyse(path, x=2, y=3).cycles, 1))
        figures["batch"].append(best(lambda: subprocess.run(call, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True), 1))
        figures["start"].append(best(lambda: subprocess.run([batch, "--version"], stdout=subprocess.DEVNULL), 1))
        figures["pandas"].append(best(lambda: numpy_energies(path), 1))
    module, batch_call, start, pandas = (min(figures[k]) for k in ("module", "batch", "start", "pandas"))
    inside = batch_call - start
    print(f"analyse 33,028 rows: module {module * 1e3:.1f} ms, kov-batch inside {inside * 1e3:.1f} ms "
          f"({batch_call * 1e3:.1f} - {start * 1e3:.1f} start): {module / inside:.2f}x (goal <= 1.2x); "
          f"pandas+numpy {pandas * 1e3:.1f} ms: {pandas / module:.1f}x faster (goal >= 10x)")
    return path


def bench_read(kov, folder, runs):
    import numpy as np
    import pandas as pd
    path = os.path.join(folder, "million.prn")
    with open(path, "w", newline="") as out:
        out.write(make_record.record(17, 1_000_000))
    figures = {"module": [], "loadtxt": [], "read_csv": []}
    for _ in range(runs):
        figures["module"].append(best(lambda: (lambda r: (r.x, r.y))(kov.read_record(path, x=2, y=3)), 1))
        figures["read_csv"].append(best(lambda: pd.read_csv(path, skiprows=5, sep=" ", header=None, usecols=[1, 2],
                                                            engine="c"), 1))
        figures["loadtxt"].append(best(lambda: np.loadtxt(path, skiprows=5, usecols=(1, 2)), 1))
    module, loadtxt, read_csv = (min(figures[k]) for k in ("module", "loadtxt", "read_csv"))
    print(f"read 1,000,000 rows x 17: module {module:.3f} s; numpy.loadtxt {loadtxt:.3f} s ({loadtxt / module:.1f}x), "
          f"pandas.read_csv {read_csv:.3f} s ({read_csv / module:.1f}x) (goal >= 2x each)")


def bench_threads(kov, path, runs):
    def analyse_all(threads):
        with concurrent.futures.ThreadPoolExecutor(threads) as pool:
            list(pool.map(lambda _: kov.analyse(path, x=2, y=3), range(200)))
    one = two = None
    for _ in range(runs):
        one = min(one or 1e9, best(lambda: analyse_all(1), 1))
        two = min(two or 1e9, best(lambda: analyse_all(2), 1))
    print(f"200 analyses: one thread {one:.2f} s, two threads {two:.2f} s: {two / one:.2f}x (goal <= 0.6x)")


def bench_memory(kov, folder):
    path = os.path.join(folder, "bench.prn")
    with open(path, "w", newline="") as out:
        out.write(make_record.record(17))
    marks = {}
    for i in range(1, 10_001):
        analysis = kov.analyse(kov.read_record(path, x=2, y=3))
        analysis.cycles
        analysis.to_json()
        if i in (1000, 10_000):
            marks[i] = resident_kib()
    print(f"memory: {marks[1000]} KiB after 1,000 calls, {marks[10_000]} KiB after 10,000 "
          f"(growth {marks[10_000] - marks[1000]} KiB; goal: none)")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("batch")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--only", nargs="*", default=["analyse", "read", "threads", "memory"])
    args = parser.parse_args()
    import kov
    with tempfile.TemporaryDirectory(prefix="kov-python-") as folder:
        path = bench_analyse(kov, args.batch, folder, args.runs) if {"analyse", "threads"} & set(args.only) else None
        if "read" in args.only:
            bench_read(kov, folder, max(1, args.runs // 2))
        if "threads" in args.only:
            bench_threads(kov, path, max(1, args.runs // 2))
        if "memory" in args.only:
            bench_memory(kov, folder)


if __name__ == "__main__":
    main()
