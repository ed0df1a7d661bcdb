#!/usr/bin/python3
"""The window's start: from starting the process to the first paint of the
main window (bench/start_bench.cpp, which starts it as the program does),
median of several runs. Uses QT_QPA_PLATFORM as set (offscreen by default;
under xvfb-run set QT_QPA_PLATFORM=xcb for a real X server).
Usage: bench/measure-window.py [--build DIR] [--runs 15]
"""
import argparse
import os
import statistics
import subprocess
import time

here = os.path.dirname(os.path.abspath(__file__))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(here, "..", "build"))
    ap.add_argument("--runs", type=int, default=15)
    args = ap.parse_args()
    exe = os.path.join(args.build, "bench", "kov_start_bench")
    env = dict(os.environ)
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    subprocess.run([exe], env=env, capture_output=True)  # warm up the page cache
    times = []
    for _ in range(args.runs):
        env["KOV_SPAWN_NS"] = str(time.monotonic_ns())
        out = subprocess.run([exe], env=env, capture_output=True, text=True, check=True).stdout
        times.append(float(out.split()[0]))
    print("start to the first paint of the window (%s): median %.1f ms, min %.1f, max %.1f of %d runs" %
          (env["QT_QPA_PLATFORM"], statistics.median(times), min(times), max(times), args.runs))


if __name__ == "__main__":
    main()
