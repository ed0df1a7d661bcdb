#!/usr/bin/env python3
"""Writes the benchmark record (the bytes of bench/benchrecord.h): five header
lines and 2000 rows "step X Y [more columns]" with CR LF.
Usage: make_record.py PATH [COLUMNS (17)]"""
import math
import sys


def record(columns):
    lines = ["cyclic test", "synthetic record", "2000 steps", "step disp load", "(-) (mm) (kN)"]
    for i in range(1, 2001):
        phase = 2.0 * math.pi * (i - 1) / 100.0
        amp = 1.0 + 0.2 * (i - 1) / 100.0
        fields = ["%d" % i, "%.4f" % (amp * 10.0 * math.sin(phase)), "%.3f" % (amp * 150.0 * math.sin(phase + 0.4))]
        fields += ["%.1f" % (12.0 * math.cos(phase * (k - 2))) for k in range(3, columns)]
        lines.append(" ".join(fields))
    return "\r\n".join(lines) + "\r\n"


if __name__ == "__main__":
    with open(sys.argv[1], "w", newline="") as out:
        out.write(record(int(sys.argv[2]) if len(sys.argv) > 2 else 17))
