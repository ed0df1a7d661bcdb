#!/usr/bin/env python3
"""kov-batch's work on a record in plain Python (standard library only): the
benchmark's reference for what an interpreted program of the same work costs.

The record is read as kov reads it: a row count pass over the lines, a field
count pass over the fields, then a value pass that groups the fields
ColumnCount at a time and converts the two chosen ones, each line and field
read byte by byte as a sequential file's operations read them. Then the automatic course (every
proposed cycle accepted) and the results file, written as kov-batch writes
it (a temporary file, synced and renamed over the target).

Usage: reference.py [--x-column N] [--y-column N] [--skip-lines N]
                    [--x-coef F] [--y-coef F] [--x-unit T] [--y-unit T]
                    [--stdout] [--regex] RECORD...
--regex reads the lines and fields with a regular expression each instead
of byte by byte (the same results, about five times sooner).
Prints the results file of each record (or its text with --stdout), as
kov-batch does; the rows are the same to the byte.
"""
import math
import os
import re
import struct
import sys
import tempfile
import time
from decimal import ROUND_HALF_UP, Decimal, getcontext

MAX_STEP = 2000
MAX_CYCLE = 100
FLOAT_LIMIT = float.fromhex("0x1.ffffffp127")  # FLT_MAX plus half an ulp
F32 = struct.Struct("f")
getcontext().prec = 200  # every float's exact value fits

BLANKS = frozenset(b" \t")
FIELD_ENDS = frozenset(b" \t,\r\n")
LINE = re.compile(rb"[^\r\n]*(?:\r\n|\r|\n)?")
FIELD = re.compile(rb"[ \t]*([^ \t,\r\n]*)[ \t]*(?:,|\r\n|\r|\n)?")
NUMBER = re.compile(rb"[+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[EeDd][+-]?[0-9]+)?")


class KovError(Exception):
    def __init__(self, number):
        super().__init__(number)
        self.number = number


def f32(x):
    """x rounded to single precision; beyond its range +-infinity."""
    try:
        return F32.unpack(F32.pack(x))[0]
    except OverflowError:
        return math.copysign(math.inf, x)


def to_float(x):
    """x rounded to single precision; error 6 when that is not finite."""
    if not abs(x) < FLOAT_LIMIT:
        raise KovError(6)
    return F32.unpack(F32.pack(x))[0]


def clamp_float(x):
    if math.isnan(x):
        return 0.0
    if abs(x) >= FLOAT_LIMIT:
        return math.copysign(3.4028234663852886e38, x)
    return f32(x)


class Record:
    """Sequential input on a record, byte by byte as the sequential file
    operations read it: lines, and fields delimited by blanks or a comma."""

    def __init__(self, path):
        try:
            with open(path, "rb") as f:
                self.data = f.read()
        except FileNotFoundError:
            raise KovError(53)
        except (PermissionError, IsADirectoryError):
            raise KovError(70)
        self.pos = 0

    def rewind(self, skip):
        self.pos = 0
        for _ in range(skip):
            self.skip_line()

    def at_end(self):
        return self.pos >= len(self.data)

    def skip_line(self):
        """Consumes the characters up to the line end (CR LF, LF or CR) and it."""
        data, pos, n = self.data, self.pos, len(self.data)
        if pos >= n:
            raise KovError(62)
        while pos < n:
            c = data[pos]
            pos += 1
            if c == 10:
                break
            if c == 13:
                if pos < n and data[pos] == 10:
                    pos += 1
                break
        self.pos = pos

    def read_field(self):
        """Skips blanks, reads a field up to a blank, comma or line end, then
        consumes the blanks after it and one delimiter."""
        data, pos, n = self.data, self.pos, len(self.data)
        while pos < n and data[pos] in BLANKS:
            pos += 1
        if pos >= n:
            raise KovError(62)
        start = pos
        while pos < n and data[pos] not in FIELD_ENDS:
            pos += 1
        field = data[start:pos]
        while pos < n and data[pos] in BLANKS:
            pos += 1
        if pos < n:
            c = data[pos]
            if c == 44 or c == 10:
                pos += 1
            elif c == 13:
                pos += 1
                if pos < n and data[pos] == 10:
                    pos += 1
        self.pos = pos
        return field


class RegexRecord(Record):
    """The same operations with a regular expression per line and field:
    the scanning of the bytes left to the re module's C code."""

    def skip_line(self):
        if self.at_end():
            raise KovError(62)
        self.pos = LINE.match(self.data, self.pos).end()

    def read_field(self):
        m = FIELD.match(self.data, self.pos)
        if m.start(1) == len(self.data):
            raise KovError(62)
        self.pos = m.end()
        return m.group(1)


def field_number(text):
    if not NUMBER.fullmatch(text):
        raise KovError(13)
    return float(text.replace(b"D", b"e").replace(b"d", b"e"))


def count_until_end(record, skip, step):
    """Rewinds past the header, then counts the steps up to the end of the
    file; the step that reaches the end counts too."""
    record.rewind(skip)
    count = 0
    while True:
        count += 1
        step()
        if record.at_end():
            return count


def load_record(path, skip, xcol, ycol, xcoef, ycoef, reader=Record):
    """Returns (RowCount, XData, YData), steps 1..RowCount, or raises KovError."""
    record = reader(path)
    rows = count_until_end(record, skip, record.skip_line)
    fields = count_until_end(record, skip, record.read_field)
    columns = round(fields / rows)  # halves to even
    if columns > 32767:
        raise KovError(6)

    xdata = [0.0] * (MAX_STEP + 1)
    ydata = [0.0] * (MAX_STEP + 1)
    record.rewind(skip)
    try:
        for i in range(1, rows + 1):
            for j in range(1, columns + 1):
                text = record.read_field()
                if j == xcol or j == ycol:
                    f = field_number(text)
                    if j == xcol:
                        xdata[i] = to_float(f * xcoef)
                    if j == ycol:
                        ydata[i] = to_float(f * ycoef)
            xdata[i]  # a row beyond the arrays
    except IndexError:
        raise KovError(9)
    return rows, xdata, ydata


def find_next_cycle(rows, xdata, ydata, start):
    """The end step and the two peak steps of the cycle from start, and
    whether the search reached the last row."""
    if start + 1 > rows:
        return start, 0, 0, True
    max_x = max_y = min_x = min_y = 0.0
    peak1 = peak2 = 0
    end = start
    at_last = False
    for k in range(start + 1, rows + 1):
        x = xdata[k]
        y = ydata[k]
        if x >= max_x:
            max_x = x
            peak1 = k
        if x <= min_x:
            min_x = x
            peak2 = k
        if y >= max_y:
            max_y = y
        if y <= min_y:
            min_y = y
        stop = k > 2 and y > 0.0 and clamp_float(y * ydata[k - 1]) <= 0.0
        if stop:
            end = k
        if k == rows:
            end = k
            at_last = True
        if stop:
            break
    return end, peak1, peak2, at_last


def course(rows, xdata, ydata):
    """The automatic analysis: one (peak1, peak2, energy, total, damping) per cycle."""
    cycles = []
    start = 1
    total = 0.0
    while True:
        end, p1, p2, at_last = find_next_cycle(rows, xdata, ydata, start)
        energy = 0.0
        for i in range(start + 1, end + 1):
            dx = xdata[i] - xdata[i - 1]
            energy = f32(dx * (ydata[i - 1] + ydata[i]) / 2.0 + energy)
        total = f32(total + energy)
        strain = f32(ydata[p2] * xdata[p2] / 2.0 + xdata[p1] * ydata[p1] / 2.0)
        damping = 0.0
        if strain != 0.0:
            q = energy / 6.28318 / strain
            if math.isfinite(q) and abs(q) < FLOAT_LIMIT:
                damping = f32(q)
        cycles.append((p1, p2, energy, total, damping))
        start = end
        if at_last or len(cycles) == MAX_CYCLE:
            return cycles


def fixed3(v):
    if math.isnan(v):
        return "NaN"
    if math.isinf(v):
        return "-Infinity" if v < 0 else "Infinity"
    text = str(Decimal(abs(v)).quantize(Decimal("0.001"), ROUND_HALF_UP))
    return "-" + text if v < 0 else text


def exp4(v):
    if math.isnan(v):
        return "NaN"
    if math.isinf(v):
        return "-Infinity" if v < 0 else "Infinity"
    if v == 0.0:
        return "0.0000e+00"
    d = Decimal(abs(v))
    exponent = d.adjusted()
    mantissa = d.scaleb(-exponent).quantize(Decimal("1.0000"), ROUND_HALF_UP)
    if mantissa >= 10:
        exponent += 1
        mantissa = Decimal("1.0000")
    text = "%se%s%02d" % (mantissa, "-" if exponent < 0 else "+", abs(exponent))
    return "-" + text if v < 0 else text


def label(inner, width):
    return ((" " * width) + "(" + inner + ")")[-width:]


def results_text(path, xunit, yunit, xdata, ydata, cycles):
    energy_label = label(yunit + "*" + xunit, 10)
    xl = label(xunit, 6)
    yl = label(yunit, 6)
    lines = [
        "Absorbed Energy and Equivalent Damping Factor calculated by kov1",
        "File Name = %s, at %s" % (os.path.abspath(path), time.strftime("%m-%d-%Y, %H:%M:%S")),
        "     /Peak-1                /Peak-2                /Energy",
        "Cycle Step        X        Y Step        X        Y     Energy      Total        kov",
        " " * 13 + xl + "   " + yl + " " * 8 + xl + "   " + yl + " " + energy_label + " " + energy_label,
    ]
    for n, (p1, p2, energy, total, damping) in enumerate(cycles, 1):
        lines.append("%5d %4d %8s %8s %4d %8s %8s %s %s %s" % (
            n, p1, fixed3(xdata[p1]), fixed3(ydata[p1]), p2, fixed3(xdata[p2]), fixed3(ydata[p2]),
            exp4(energy), exp4(total), exp4(damping)))
    return "".join(line + "\r\n" for line in lines)


def write_atomically(target, text):
    folder = os.path.dirname(target) or "."
    fd, temp = tempfile.mkstemp(dir=folder, prefix=".kov")
    try:
        os.write(fd, text.encode("utf-8"))
        os.fsync(fd)
    finally:
        os.close(fd)
    os.rename(temp, target)
    dir_fd = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)
    try:
        os.fsync(dir_fd)
    finally:
        os.close(dir_fd)


def analyse(path, opts, out=sys.stdout):
    """One record from input to results; returns False when it failed."""
    reader = RegexRecord if opts["regex"] else Record
    try:
        rows, xdata, ydata = load_record(path, opts["skip"], opts["x"], opts["y"], opts["xcoef"], opts["ycoef"],
                                         reader)
    except KovError as e:
        sys.stderr.write("%s: This file includes error data or you may mistake column or skip "
                         "indication. (%d)\n" % (path, e.number))
        return False
    cycles = course(rows, xdata, ydata)
    text = results_text(path, opts["xunit"], opts["yunit"], xdata, ydata, cycles)
    if opts["stdout"]:
        out.write(text)
    else:
        target = os.path.abspath(path)[:-4] + "-kov.prn"
        write_atomically(target, text)
        out.write(target + "\n")
    return True


def parse(args):
    opts = {"x": 1, "y": 2, "skip": 5, "xcoef": 1.0, "ycoef": 1.0, "xunit": "mm", "yunit": "tonf", "stdout": False,
            "regex": False}
    names = {"--x-column": ("x", int), "--y-column": ("y", int), "--skip-lines": ("skip", int),
             "--x-coef": ("xcoef", lambda t: f32(float(t))), "--y-coef": ("ycoef", lambda t: f32(float(t))),
             "--x-unit": ("xunit", str), "--y-unit": ("yunit", str)}
    records = []
    it = iter(args)
    for a in it:
        if a == "--stdout":
            opts["stdout"] = True
        elif a == "--regex":
            opts["regex"] = True
        elif a in names:
            key, kind = names[a]
            opts[key] = kind(next(it))
        else:
            records.append(a)
    return opts, records


def main(args):
    opts, records = parse(args)
    ok = True
    for r in records:
        ok = analyse(r, opts) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
