#!/usr/bin/env python3
"""Checks kov-batch --json/--csv/--summary against an independent computation.

For every record (the example records, and generated records of growing
loops with noise) this script reads the record with a parser of its own,
runs the automatic cycle course and the metric definitions again in Python,
and compares them with what kov-batch wrote: integers and floats of the
state exactly, derived values to a relative 1e-9. It also checks that every
number is written as its shortest text (a float as the float's own shortest
text), that the CSV holds the JSON's values and that the summary row agrees.

Usage: crosscheck_metrics.py KOV_BATCH EXAMPLES_DIR
"""

import ctypes
import ctypes.util
import json
import math
import os
import random
import re
import struct
import subprocess
import sys
import tempfile
from decimal import Decimal, ROUND_CEILING, ROUND_FLOOR

REL = 1e-9
HALF_ULP_BEYOND_FLT_MAX = float.fromhex('0x1.ffffffp127')  # the first double that rounds to infinity

libc = ctypes.CDLL(ctypes.util.find_library('c'))
libc.strtof.restype = ctypes.c_float
libc.strtof.argtypes = [ctypes.c_char_p, ctypes.c_void_p]


def strtof(text):
    """The float a text denotes, rounded once (no detour through double)."""
    return float(libc.strtof(text.encode(), None))


def f32(x):
    """x rounded to single precision, as a C cast rounds it."""
    if math.isnan(x):
        return x
    try:
        return struct.unpack('<f', struct.pack('<f', x))[0]
    except OverflowError:
        return math.copysign(math.inf, x)


class Failures:
    def __init__(self):
        self.count = 0
        self.checked = 0
        self.worst = 0.0

    def fail(self, where, message):
        self.count += 1
        if self.count <= 40:
            print(f'FAIL {where}: {message}')


F = Failures()


# ---- The record, read afresh

def read_record(path, x_col, y_col, skip, x_coef, y_coef):
    with open(path, 'rb') as f:
        text = f.read().decode('latin-1')
    lines = re.split(r'\r\n|\r|\n', text)
    if lines and lines[-1] == '':
        lines.pop()
    rows = [re.split(r'[ \t]*,[ \t]*|[ \t]+', ln.strip(' \t')) for ln in lines[skip:]]
    X, Y = [0.0], [0.0]  # step 0 is the point (0, 0)
    for fields in rows:
        X.append(f32(float(fields[x_col - 1].replace('D', 'E').replace('d', 'e')) * x_coef))
        Y.append(f32(float(fields[y_col - 1].replace('D', 'E').replace('d', 'e')) * y_coef))
    return X, Y, len(rows), len(rows[0])


# ---- The automatic course: next cycle search and cycle computation

def automatic_course(X, Y, rows):
    cycles = []
    start, total = 1, 0.0
    while True:
        p1 = p2 = 0
        max_x = min_x = 0.0
        end, at_end = start, True
        if start + 1 <= rows:
            at_end = False
            for k in range(start + 1, rows + 1):
                if X[k] >= max_x:
                    max_x, p1 = X[k], k
                if X[k] <= min_x:
                    min_x, p2 = X[k], k
                crossing = k > 2 and Y[k] > 0 and f32(Y[k] * Y[k - 1]) <= 0
                if crossing or k == rows:
                    end, at_end = k, k == rows
                    break
        energy = 0.0
        for i in range(start + 1, end + 1):
            energy = f32((X[i] - X[i - 1]) * (Y[i - 1] + Y[i]) / 2.0 + energy)
        total = f32(total + energy)
        strain = f32(Y[p2] * X[p2] / 2.0 + X[p1] * Y[p1] / 2.0)
        damping = 0.0
        if strain != 0.0:
            q = energy / 6.28318 / strain
            if math.isfinite(q) and abs(q) < HALF_ULP_BEYOND_FLT_MAX:
                damping = f32(q)
        cycles.append(dict(s=start, e=end, p1=p1, p2=p2, energy=energy, total=total, strain=strain, damping=damping))
        start = end
        if at_end:
            return cycles, False
        if len(cycles) == 100:
            return cycles, True


# ---- The metric definitions

def interpolate(xa, xb, num, den):
    return xa + (xb - xa) * num / den


def cycle_metrics(X, Y, c):
    s, e, p1, p2 = c['s'], c['e'], c['p1'], c['p2']
    loads = [Y[k] for k in range(s + 1, e + 1)]
    m = dict(max_load=max(loads) if loads else None, min_load=min(loads) if loads else None)
    m['secant_stiffness'] = None if p1 == 0 or p2 == 0 or X[p1] == X[p2] else (Y[p1] - Y[p2]) / (X[p1] - X[p2])
    m['residual_pos'] = m['residual_neg'] = None
    for k in range(max(s, p1) + 1, e + 1):
        if Y[k - 1] > 0 >= Y[k]:
            m['residual_pos'] = interpolate(X[k - 1], X[k], Y[k - 1], Y[k - 1] - Y[k])
            break
    for k in range(max(s, p2) + 1, e + 1):
        if Y[k - 1] < 0 <= Y[k]:
            m['residual_neg'] = interpolate(X[k - 1], X[k], Y[k - 1], Y[k - 1] - Y[k])
            break
    return m


def envelope(X, Y, cycles, t, key, sign):
    points, reach = [(0.0, 0.0)], 0.0
    for c in cycles:
        p = c[key]
        if p == 0:
            continue
        x, y = X[p], Y[p]
        if sign * x > 0 and sign * y > 0 and sign * x > sign * ((1 + t) * reach):
            points.append((x, y))
        reach = max(reach, x) if sign > 0 else min(reach, x)
    return points


def eeep(points):
    """The EEEP curve of points on positive values, (0, 0) first."""
    if len(points) < 2:
        return None
    P = points
    m = len(P) - 1
    j = max(range(1, m + 1), key=lambda i: (P[i][1], -i))  # the first of the largest
    peak = P[j][1]
    load04 = 0.4 * peak
    i = next(i for i in range(1, j + 1) if P[i][1] >= load04)
    ke = load04 / interpolate(P[i - 1][0], P[i][0], load04 - P[i - 1][1], P[i][1] - P[i - 1][1])
    load08 = 0.8 * peak
    fall = next((i for i in range(j + 1, m + 1) if P[i][1] < load08), None)
    if fall is None:
        du, last = P[m][0], m
    else:
        du, last = interpolate(P[fall - 1][0], P[fall][0], P[fall - 1][1] - load08, P[fall - 1][1] - P[fall][1]), fall - 1
    area = 0.0
    for k in range(1, last + 1):
        area += (P[k][0] - P[k - 1][0]) * (P[k - 1][1] + P[k][1]) / 2.0
    if fall is not None:
        area += (du - P[last][0]) * (P[last][1] + load08) / 2.0
    root = du * du - 2.0 * area / ke
    py = (du - math.sqrt(root)) * ke if root >= 0 else 0.85 * peak
    dy = py / ke
    return dict(peak_load=peak, peak_disp=P[j][0], elastic_stiffness=ke, yield_load=py, yield_disp=dy,
                ultimate_disp=du, failure_reached=fall is not None, ductility=du / dy)


def side(X, Y, cycles, t, key, sign):
    points = envelope(X, Y, cycles, t, key, sign)
    curve = eeep([(sign * x, sign * y) for x, y in points])
    if curve and sign < 0:
        for k in ('peak_load', 'peak_disp', 'yield_load', 'yield_disp', 'ultimate_disp'):
            curve[k] = -curve[k]
    return points, curve


# ---- Comparison of the written texts

class Num(str):
    """A JSON number, kept as its text."""


def sig_digits(text):
    mant = re.split('[eE]', text.lstrip('-'))[0].replace('.', '').lstrip('0').rstrip('0')
    return mant or '0'


def is_number(where, text, want):
    """Counts a check; true when a number is expected and written, else
    checks that null stands for a value that does not exist or is not finite."""
    F.checked += 1
    if want is None or not math.isfinite(want):
        if text is not None:
            F.fail(where, f'{text} where null was expected')
        return False
    if not isinstance(text, Num):
        F.fail(where, f'{text!r} is not a number')
        return False
    return True


def check_float(where, text, want):
    if not is_number(where, text, want):
        return
    if strtof(text) != want or math.copysign(1, strtof(text)) != math.copysign(1, want):
        F.fail(where, f'{text} is not the float {want!r}')
    n = len(sig_digits(text))
    if n > 1:
        # No decimal of one digit fewer reads back as the same float.
        exact = Decimal(want)
        shift = exact.adjusted() - (n - 2)
        for rounding in (ROUND_FLOOR, ROUND_CEILING):
            shorter = exact.scaleb(-shift).quantize(Decimal(1), rounding=rounding).scaleb(shift)
            if strtof(str(shorter)) == want:
                F.fail(where, f'{text} is longer than {shorter}')


def check_double(where, text, want):
    if not is_number(where, text, want):
        return
    got = float(text)
    if len(sig_digits(text)) != len(sig_digits(repr(got))):
        F.fail(where, f'{text} is not the shortest text of its double ({got!r})')
    scale = max(abs(want), abs(got))
    deviation = abs(got - want) / scale if scale else 0.0
    F.worst = max(F.worst, deviation)
    if deviation > REL:
        F.fail(where, f'{text} differs from {want!r} by {deviation:.3g}')


def check_exact(where, got, want):
    F.checked += 1
    if isinstance(got, Num):
        got = int(got) if re.fullmatch(r'-?\d+', got) else float(got)
    if got != want or type(got) is not type(want):
        F.fail(where, f'{got!r} != {want!r}')


# ---- One record

def check_record(batch, folder, name, settings, tolerance):
    x_col, y_col, skip, x_coef, y_coef = settings
    args = [batch, '--x-column', str(x_col), '--y-column', str(y_col), '--skip-lines', str(skip),
            '--x-coef', repr(x_coef), '--y-coef', repr(y_coef), '--x-unit', 'mm', '--y-unit', 'kN',
            '--json', '--csv', '--summary', 'summary.csv', name]
    if tolerance is not None:
        args[1:1] = ['--level-tolerance', repr(tolerance)]
    run = subprocess.run(args, cwd=folder, capture_output=True, text=True)
    if run.returncode != 0:
        F.fail(name, f'kov-batch exited with {run.returncode}: {run.stderr.strip()}')
        return
    t = 0.05 if tolerance is None else tolerance
    stem = os.path.join(folder, name[:-4] + '-kov')
    with open(stem + '.json', encoding='utf-8') as f:
        doc = json.load(f, parse_float=Num, parse_int=Num)
    with open(stem + '.csv', encoding='utf-8', newline='') as f:
        csv_lines = f.read().split('\r\n')

    X, Y, rows, columns = read_record(os.path.join(folder, name), x_col, y_col, skip, f32(x_coef), f32(y_coef))
    cycles, truncated = automatic_course(X, Y, rows)
    where = name
    check_exact(where + ' rows', doc['rows'], rows)
    check_exact(where + ' columns', doc['columns'], columns)
    check_exact(where + ' truncated', doc['truncated'], truncated)
    check_exact(where + ' record', doc['record'], os.path.join(folder, name))
    check_float(where + ' x_coef', doc['settings']['x_coef'], f32(x_coef))
    check_double(where + ' level_tolerance', doc['settings']['level_tolerance'], t)
    check_exact(where + ' cycles', len(doc['cycles']), len(cycles))

    for n, (c, got) in enumerate(zip(cycles, doc['cycles']), start=1):
        w = f'{name} cycle {n}'
        for key, want in (('cycle', n), ('start_step', c['s']), ('end_step', c['e'])):
            check_exact(f'{w} {key}', got[key], want)
        for peak, p in (('peak1', c['p1']), ('peak2', c['p2'])):
            check_exact(f'{w} {peak} step', got[peak]['step'], p)
            check_float(f'{w} {peak} x', got[peak]['x'], X[p])
            check_float(f'{w} {peak} y', got[peak]['y'], Y[p])
        for key, want in (('energy', 'energy'), ('total_energy', 'total'), ('strain_energy', 'strain'),
                          ('damping', 'damping')):
            check_float(f'{w} {key}', got[key], c[want])
        m = cycle_metrics(X, Y, c)
        check_float(f'{w} max_load', got['max_load'], m['max_load'])
        check_float(f'{w} min_load', got['min_load'], m['min_load'])
        for key in ('secant_stiffness', 'residual_pos', 'residual_neg'):
            check_double(f'{w} {key}', got[key], m[key])
        # The CSV row holds the same texts, empty where JSON has null.
        flat = [got['cycle'], got['start_step'], got['end_step'], got['peak1']['step'], got['peak1']['x'],
                got['peak1']['y'], got['peak2']['step'], got['peak2']['x'], got['peak2']['y']] + \
               [got[k] for k in ('energy', 'total_energy', 'strain_energy', 'damping', 'max_load', 'min_load',
                                 'secant_stiffness', 'residual_pos', 'residual_neg')]
        check_exact(f'{w} csv', csv_lines[n].split(','), ['' if v is None else str(v) for v in flat])

    summary_want = {}
    for key, sign, label in (('peak1', 1, 'positive'), ('peak2', -1, 'negative')):
        points, curve = side(X, Y, [dict(c) for c in cycles], t, 'p1' if sign > 0 else 'p2', sign)
        got = doc['envelope'][label]
        w = f'{name} {label}'
        check_exact(w + ' points', len(got['points']), len(points))
        for (gx, gy), (x, y) in zip(got['points'], points):
            check_float(w + ' point x', gx, x)
            check_float(w + ' point y', gy, y)
        curve = curve or {}
        check_float(w + ' peak_load', got['peak_load'], curve.get('peak_load'))
        check_float(w + ' peak_disp', got['peak_disp'], curve.get('peak_disp'))
        for k in ('elastic_stiffness', 'yield_load', 'yield_disp', 'ultimate_disp', 'ductility'):
            check_double(f'{w} {k}', got[k], curve.get(k))
        check_exact(w + ' failure_reached', got['failure_reached'], curve.get('failure_reached'))
        summary_want[label] = (curve.get('peak_load'), curve.get('ductility'))

    with open(os.path.join(folder, 'summary.csv'), encoding='utf-8', newline='') as f:
        row = f.read().split('\r\n')[1].split(',')
    mean = sum(c['damping'] for c in cycles) / len(cycles)
    cells = [Num(v) if v else None for v in row[2:]]
    check_exact(name + ' summary', row[:4], [os.path.join(folder, name), 'ok', str(rows), str(len(cycles))])
    check_float(name + ' summary total', cells[2], cycles[-1]['total'])
    check_double(name + ' summary mean damping', cells[3], mean)
    check_float(name + ' summary peak pos', cells[4], summary_want['positive'][0])
    check_float(name + ' summary peak neg', cells[5], summary_want['negative'][0])
    check_double(name + ' summary ductility pos', cells[6], summary_want['positive'][1])
    check_double(name + ' summary ductility neg', cells[7], summary_want['negative'][1])
    envelope_sizes = (len(doc['envelope']['positive']['points']), len(doc['envelope']['negative']['points']))
    print(f'{name}: {rows} rows, {len(cycles)} cycles, envelope points {envelope_sizes}, '
          f'failure {doc["envelope"]["positive"]["failure_reached"]}/{doc["envelope"]["negative"]["failure_reached"]}')


# ---- Generated records: growing loops with noise

def growing_loops(rng, levels, repeats, steps, noise, soften):
    """Displacement-controlled cycles, a few at each level of a growing
    amplitude; the load follows a backbone that yields and, with soften,
    loses strength beyond its peak, with a loop lag and random noise."""
    k, py, n = rng.uniform(5, 50), rng.uniform(50, 200), rng.uniform(1.5, 4)
    lag = rng.uniform(0.1, 0.5)
    d_peak = rng.uniform(0.4, 0.7) * levels
    lines = []
    for level in range(1, levels + 1):
        amp = level * rng.uniform(0.9, 1.1)
        strength = k * amp / (1 + (k * amp / py) ** n) ** (1 / n)
        if soften and level > d_peak:
            strength *= max(0.2, 1 - soften * (level - d_peak))
        for _ in range(repeats):
            for i in range(steps):
                phase = 2 * math.pi * (i + 0.5) / steps
                x = amp * math.sin(phase) * (1 + rng.gauss(0, noise))
                y = strength * math.sin(phase + lag) * rng.uniform(0.95, 1.05) + rng.gauss(0, noise * py)
                lines.append(f'{len(lines) + 1} {x:.6f} {y:.5f}')
    return 'generated record\r\nstep X Y\r\n' + '\r\n'.join(lines) + '\r\n'


def main():
    batch, examples = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(prefix='kov-crosscheck-') as folder:
        example_settings = {
            'first-try.prn': (1, 2, 5, 1.0, 1.0),
            'synthetic-three-cycles.prn': (2, 3, 5, 1.0, 1.0),
            'rc-column-soesianawati1986.prn': (2, 3, 5, 1000.0, 1.0),
            'ufp-damper-ganey2015.prn': (1, 2, 0, 1.0, 1.0),
            'slit-damper-chan-albermani.prn': (1, 2, 0, 1.0, 1.0),
        }
        for name, settings in example_settings.items():
            with open(os.path.join(examples, name), 'rb') as src, open(os.path.join(folder, name), 'wb') as dst:
                dst.write(src.read())
            for tolerance in (None, 0.0, 0.3):
                check_record(batch, folder, name, settings, tolerance)

        rng = random.Random(20260814)
        shapes = [(6, 3, 24, 0.01, 0.0), (8, 2, 40, 0.03, 0.25), (12, 3, 16, 0.02, 0.15), (5, 1, 60, 0.0, 0.5),
                  (10, 2, 30, 0.05, 0.1), (40, 3, 12, 0.02, 0.05)]  # the last has more than 100 cycles
        for i, shape in enumerate(shapes):
            name = f'generated-{i}.prn'
            with open(os.path.join(folder, name), 'w', newline='') as f:
                f.write(growing_loops(rng, *shape))
            check_record(batch, folder, name, (2, 3, 2, 1.0, rng.choice([1.0, 0.5, 9.80665])), rng.choice([None, 0.1]))

    print(f'{F.checked} values checked, largest relative deviation of a derived value {F.worst:.3g}')
    print(f'{F.checked - F.count} passed, {F.count} failed')
    return 1 if F.count else 0


if __name__ == '__main__':
    sys.exit(main())
