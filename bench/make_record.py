#!/usr/bin/env python3
"""Writes the benchmark record (the bytes of bench/benchrecord.h): five header
lines and 2000 rows "step X Y [more columns]" with CR LF, 100 steps a cycle.
Given ROWS, that many rows in 35 cycles, the load with a jitter of 0.1 % of
its largest value (a long record of a real test, as
bench/measure-long-record.sh draws it).
Usage: make_record.py PATH [COLUMNS (17)] [ROWS]"""
import math
import sys


def record(columns, rows=None):
    lines = ["cyclic test", "synthetic record", "%d steps" % (rows or 2000), "step disp load", "(-) (mm) (kN)"]
    period = rows / 35.0 if rows else 100.0
    for i in range(1, (rows or 2000) + 1):
        phase = 2.0 * math.pi * (i - 1) / period
        amp = 1.0 + 0.2 * (i - 1) / period
        load = amp * 150.0 * math.sin(phase + 0.4)
        if rows:
            load += 0.001 * 8.0 * 150.0 * math.sin(i * 2.3)
        fields = ["%d" % i, "%.4f" % (amp * 10.0 * math.sin(phase)), "%.3f" % load]
        fields += ["%.1f" % (12.0 * math.cos(phase * (k - 2))) for k in range(3, columns)]
        lines.append(" ".join(fields))
    return "\r\n".join(lines) + "\r\n"


if __name__ == "__main__":
    with open(sys.argv[1], "w", newline="") as out:
        out.write(record(int(sys.argv[2]) if len(sys.argv) > 2 else 17, int(sys.argv[3]) if len(sys.argv) > 3 else None))
