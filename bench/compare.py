#!/usr/bin/python3
"""kov-batch against plain Python and numpy on the same records, side by side.

Makes RECORDS copies of the benchmark record (2000 rows, 17 columns, about
180 KB; bench/make_record.py) and measures, per record, in interleaved rounds:
  kov-batch   one call over all records: start, load, analysis, results files
  reference   bench/reference.py, the same work in plain Python, in this
              process: the record read byte by byte, and (for comparison)
              with a regular expression per line and field
  numpy       numpy.loadtxt(usecols=(1, 2)) of each record, in this process
and prints the medians with the ratios, and what one record more costs
kov-batch (a call over twice the records against the call over the records:
no process start in it). First checks that the reference writes the same
rows as kov-batch.

Runs under Debian's python3 (python3-numpy). The records lie in a tmpfs
folder (/dev/shm) unless --dir names another: there a results file costs its
write, not the disk's sync.
Usage: bench/compare.py [--kov-batch EXE] [--dir DIR] [--records 20] [--rounds 15]
"""
import argparse
import io
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import make_record  # noqa: E402
import reference  # noqa: E402

OPTIONS = ["--x-column", "2", "--y-column", "3", "--y-unit", "kN"]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--kov-batch", default=os.path.join(here, "..", "build", "batch", "kov-batch"))
    ap.add_argument("--dir", help="folder for the records (default: a new one in /dev/shm)")
    ap.add_argument("--records", type=int, default=20)
    ap.add_argument("--rounds", type=int, default=15)
    args = ap.parse_args()

    import numpy  # after the arguments: --help works without it

    parent = args.dir or ("/dev/shm" if os.access("/dev/shm", os.W_OK) else None)
    work = tempfile.mkdtemp(prefix="kov-compare-", dir=parent)
    try:
        text = make_record.record(17)
        records = []
        for k in range(2 * args.records):
            path = os.path.join(work, "r%02d.prn" % (k + 1))
            with open(path, "w", newline="") as f:
                f.write(text)
            records.append(path)

        # The reference does the same work: the same rows, to the byte.
        mine = subprocess.run([args.kov_batch, "--stdout"] + OPTIONS + records[:1], check=True,
                              capture_output=True).stdout.decode()
        opts, _ = reference.parse(OPTIONS + ["--stdout"])
        out = io.StringIO()
        reference.analyse(records[0], opts, out)
        drop_date = lambda t: t.split("\r\n", 2)[2]
        if drop_date(mine) != drop_date(out.getvalue()):
            sys.exit("compare.py: the reference's results differ from kov-batch's")
        opts["stdout"] = False

        extra = records[args.records:]  # for the cost of one more record
        records = records[:args.records]
        quiet = [(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)]

        def spawn_batch(paths):
            # posix_spawn: the time is kov-batch's, not subprocess's bookkeeping.
            argv = [args.kov_batch] + OPTIONS + paths
            pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=quiet)
            if os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]) != 0:
                sys.exit("compare.py: kov-batch failed")

        def run_batch():
            spawn_batch(records)

        def run_double():
            spawn_batch(records + extra)

        def run_reference():
            for r in records:
                reference.analyse(r, opts, io.StringIO())

        regex_opts = dict(opts, regex=True)

        def run_regex():
            for r in records:
                reference.analyse(r, regex_opts, io.StringIO())

        def run_numpy():
            for r in records:
                numpy.loadtxt(r, skiprows=5, usecols=(1, 2))

        runs = {"kov-batch": run_batch, "double": run_double, "reference": run_reference, "regex": run_regex,
                "numpy": run_numpy}
        times = {name: [] for name in runs}
        for name, run in runs.items():  # warm up
            run()
        for _ in range(args.rounds):
            for name, run in runs.items():
                start = time.perf_counter()
                run()
                times[name].append((time.perf_counter() - start) / len(records))

        per = {name: statistics.median(t) * 1000.0 for name, t in times.items()}
        # A call over twice the records, less the call over the records: what
        # one record more costs, without the start of the process.
        per["double"] = per["double"] - per["kov-batch"]
        print("%d records of %d bytes in %s, median of %d rounds, ms per record:" %
              (len(records), len(text), work, args.rounds))
        print("  kov-batch (one call, with results files)  %8.3f" % per["kov-batch"])
        print("    of which one record more costs          %8.3f" % per["double"])
        print("  plain Python reference (same work)        %8.3f   %6.1f x kov-batch" %
              (per["reference"], per["reference"] / per["kov-batch"]))
        print("    the same, lines and fields by regex     %8.3f   %6.1f x kov-batch" %
              (per["regex"], per["regex"] / per["kov-batch"]))
        print("  numpy %-6s loadtxt(usecols=(1, 2))      %8.3f   %6.2f x kov-batch" %
              (numpy.__version__, per["numpy"], per["numpy"] / per["kov-batch"]))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
