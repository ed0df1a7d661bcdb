#!/usr/bin/python3
"""Whole kov-batch processes against a trivial C++ program: the start, one
record, the libraries loaded and the peak memory.

Measures, in interleaved rounds (medians; process time is user + system):
  trivial      bench/trivial.cpp, a C++ program that prints a line
  --version    kov-batch's start
  one record   kov-batch --stdout on the benchmark record (17 columns)
  --plot       the same with a PNG picture (loads the picture module)
Peak memory comes from /usr/bin/time (Debian package time), which starts the
program from its own small process.
Usage: bench/measure-batch.py [--build DIR] [--kov-batch EXE] [--runs 40]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import make_record  # noqa: E402


def run_once(argv):
    """(wall ms, process ms) of one run, its output thrown away."""
    # posix_spawn starts the program without copying this process first.
    quiet = [(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
             (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)]
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=quiet)
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("measure-batch.py: %s failed" % " ".join(argv))
    return wall * 1000.0, (usage.ru_utime + usage.ru_stime) * 1000.0


def peak_kib(argv):
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, check=True).stderr
    return int(out.strip().splitlines()[-1])


def libraries(argv):
    """The shared objects the dynamic loader opens for a run."""
    env = dict(os.environ, LD_DEBUG="files")
    err = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, env=env).stderr
    names = set()
    for line in err.splitlines():
        if "file=" in line and "generating link map" in line:
            names.add(os.path.basename(line.split("file=")[1].split()[0]))
    return sorted(names)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(here, "..", "build"))
    ap.add_argument("--kov-batch", help="default: BUILD/batch/kov-batch")
    ap.add_argument("--runs", type=int, default=40)
    args = ap.parse_args()
    exe = args.kov_batch or os.path.join(args.build, "batch", "kov-batch")
    trivial = os.path.join(args.build, "bench", "kov_trivial")

    with tempfile.TemporaryDirectory(prefix="kov-measure-") as work:
        record = os.path.join(work, "record.prn")
        with open(record, "w", newline="") as f:
            f.write(make_record.record(17))
        options = ["--x-column", "2", "--y-column", "3"]
        cases = [("trivial C++ program", [trivial]),
                 ("kov-batch --version", [exe, "--version"]),
                 ("kov-batch, one record", [exe, "--stdout"] + options + [record]),
                 ("kov-batch --plot, one record", [exe, "--stdout", "--plot", os.path.join(work, "p.png")] + options + [record])]
        samples = {name: [] for name, _ in cases}
        for name, argv in cases:  # warm up the page cache
            run_once(argv)
        for _ in range(args.runs):
            for name, argv in cases:
                samples[name].append(run_once(argv))

        print("median of %d runs each; process time = user + system" % args.runs)
        print("%-30s %9s %12s %9s %6s" % ("", "wall ms", "process ms", "peak KiB", "libs"))
        base = None
        for name, argv in cases:
            wall = statistics.median(s[0] for s in samples[name])
            cpu = statistics.median(s[1] for s in samples[name])
            libs = libraries(argv)
            print("%-30s %9.2f %12.2f %9d %6d" % (name, wall, cpu, max(peak_kib(argv) for _ in range(3)), len(libs)))
            if base is None:
                base = wall
            elif name == "kov-batch --version":
                print("%-30s %9.2f x the trivial program" % ("  start", wall / base))
        gui = [n for n in libraries(cases[2][1]) if n.startswith(("libQt", "libX", "libxcb", "libGL", "libEGL"))]
        print("GUI libraries loaded by a run without pictures: %s" % (", ".join(gui) or "none"))


if __name__ == "__main__":
    main()
