#!/usr/bin/python3
"""Long records side by side, in one run: kov-batch --json on a record of
ROWS rows x 17 columns (make_record.py's rows, 1,000,000 by default, about
93 MB), against pandas read_csv(usecols=[x, y], engine="c") and numpy
loadtxt(usecols=...) reading the same two columns in this Python. kov-batch
is timed from process start to exit, with its peak resident memory.

Goals: kov-batch at most 1/10 of the time of each reader, at least 1 GB/s,
peak memory at most 8 bytes x rows + 16 MB.

Usage: long_record.py KOV_BATCH [ROWS] [--runs N]"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_record  # noqa: E402


def run_batch(batch, folder, name):
    """Seconds from start to exit and peak resident memory in bytes."""
    # /usr/bin/time measures the peak of kov-batch alone: a child's peak
    # taken by wait4 would include the pages it shared with this Python at
    # the fork, the record's text among them.
    start = time.perf_counter()
    run = subprocess.run(['/usr/bin/time', '-f', '%M', batch, '--x-column', '2', '--y-column', '3', '--json', name],
                         cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - start
    if run.returncode != 0:
        sys.exit(f'kov-batch exited with {run.returncode}: {run.stderr}')
    return seconds, int(run.stderr.split()[-1]) * 1024


def timed(body, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        body()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('batch')
    parser.add_argument('rows', nargs='?', type=int, default=1_000_000)
    parser.add_argument('--runs', type=int, default=3)
    args = parser.parse_args()
    import numpy  # after the arguments: --help works without them
    import pandas

    with tempfile.TemporaryDirectory(prefix='kov-long-') as folder:
        name = 'long.prn'
        path = os.path.join(folder, name)
        with open(path, 'w', newline='') as out:
            out.write(make_record.record(17, args.rows))
        size = os.path.getsize(path)
        run_batch(args.batch, folder, name)  # the record in the page cache
        batch = [run_batch(args.batch, folder, name) for _ in range(args.runs)]
        seconds = statistics.median(b[0] for b in batch)
        peak = max(b[1] for b in batch)
        read_csv = timed(lambda: pandas.read_csv(path, sep=r'\s+', header=None, skiprows=5, usecols=[1, 2],
                                                 engine='c'), args.runs)
        loadtxt = timed(lambda: numpy.loadtxt(path, skiprows=5, usecols=(1, 2)), args.runs)

    print(f'record: {args.rows} rows x 17 columns, {size / 1e6:.1f} MB; medians of {args.runs} runs')
    print(f'kov-batch --json, start to exit: {seconds:.3f} s, {size / seconds / 1e9:.2f} GB/s '
          f'(goal at least 1 GB/s)')
    print(f'peak resident memory: {peak / 2**20:.1f} MiB; goal 8 B x rows + 16 MB = '
          f'{(8 * args.rows + 16 * 2**20) / 2**20:.1f} MiB')
    print(f'pandas {pandas.__version__} read_csv(usecols, engine="c"): {read_csv:.3f} s, '
          f'kov-batch {read_csv / seconds:.1f} times faster (goal 10)')
    print(f'numpy {numpy.__version__} loadtxt(usecols): {loadtxt:.3f} s, kov-batch {loadtxt / seconds:.1f} times faster '
          f'(goal 10)')


if __name__ == '__main__':
    main()
