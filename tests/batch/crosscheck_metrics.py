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
import hashlib
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

def automatic_course(X, Y, rows, cycle_limit=None, deadband=0.0, peak_rule='halves'):
    """The cycles of the record; an upward crossing of the load ends a cycle
    only once a load of the cycle before it reached -deadband (any, at 0).
    A cycle is closed when a crossing ends it. Peak 2 is the smallest X (at
    most 0) after peak 1 with the rule 'halves', of the whole cycle with
    'window'."""
    cycles = []
    start, total = 1, 0.0
    while True:
        p1 = p2 = 0
        max_x = min_x = min_y = 0.0
        end, at_end, closed = start, True, False
        if start + 1 <= rows:
            at_end = False
            for k in range(start + 1, rows + 1):
                if X[k] >= max_x:
                    max_x, p1 = X[k], k
                if X[k] <= min_x:
                    min_x, p2 = X[k], k
                crossing = k > 2 and Y[k] > 0 and f32(Y[k] * Y[k - 1]) <= 0 and (deadband <= 0 or min_y <= -deadband)
                min_y = min(min_y, Y[k])
                if crossing or k == rows:
                    end, at_end, closed = k, k == rows, crossing
                    break
        if peak_rule == 'halves':
            p2, min_x = 0, 0.0
            for k in range(p1 + 1 if p1 else start + 1, end + 1):
                if X[k] <= min_x:
                    min_x, p2 = X[k], k
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
        cycles.append(dict(s=start, e=end, p1=p1, p2=p2, energy=energy, total=total, strain=strain, damping=damping,
                           closed=closed))
        start = end
        if at_end:
            return cycles, False
        if len(cycles) == cycle_limit:
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


def load_peak(X, Y, c, sign):
    """The step of the largest load (sign 1) or of the smallest (-1) over
    s+1..e, the first of equal ones, when it is beyond 0; else None."""
    steps = range(c['s'] + 1, c['e'] + 1)
    if not steps:
        return None
    k = max(steps, key=lambda k: (sign * Y[k], -k))
    return k if sign * Y[k] > 0 else None


def envelope_point(X, Y, c, sign, rule):
    """The point a cycle gives one side of the envelope by the rule."""
    if rule == 'peak-load':
        k = load_peak(X, Y, c, sign)
    else:
        k = c['p1' if sign > 0 else 'p2'] or None
    return None if k is None else (X[k], Y[k])


def envelope(X, Y, cycles, t, key, sign, rule='peak-load'):
    """Chosen by the peak displacement and the level tolerance; the point by
    the rule."""
    points, reach = [(0.0, 0.0)], 0.0
    for c in cycles:
        p = c[key]
        if p == 0:
            continue
        x, y = X[p], Y[p]
        point = envelope_point(X, Y, c, sign, rule)
        if point and sign * x > 0 and sign * y > 0 and sign * x > sign * ((1 + t) * reach):
            points.append(point)
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
    fallback = not root >= 0
    py = 0.85 * peak if fallback else (du - math.sqrt(root)) * ke
    dy = py / ke
    return dict(peak_load=peak, peak_disp=P[j][0], elastic_stiffness=ke, yield_load=py, yield_disp=dy,
                ultimate_disp=du, failure_reached=fall is not None, ductility=du / dy, yield_fallback=fallback)


def side(X, Y, cycles, t, key, sign, rule):
    points = envelope(X, Y, cycles, t, key, sign, rule)
    curve = eeep([(sign * x, sign * y) for x, y in points])
    if curve and sign < 0:
        for k in ('peak_load', 'peak_disp', 'yield_load', 'yield_disp', 'ultimate_disp'):
            curve[k] = -curve[k]
    return points, curve


def protocol(X, cycles, t):
    """Amplitude, level and role of each cycle, and the levels."""
    levels, largest = [], 0.0
    for n, c in enumerate(cycles, start=1):
        peaks = [X[c['p1']]] if c['p1'] else []
        peaks += [-X[c['p2']]] if c['p2'] else []
        a = max(peaks) if peaks else 0.0
        c['amp'], c['level'], c['role'] = a, None, None
        if not c['closed']:
            continue  # an open cycle takes no level
        if a > 0 and a > (1 + t) * largest:
            levels.append(dict(level=len(levels) + 1, first=n, amp=a, cycles=[n]))
            c['role'] = 'primary'
        elif levels:
            levels[-1]['cycles'].append(n)
            c['role'] = 'repeat' if a >= (1 - t) * levels[-1]['amp'] else 'trailing'
        if c['role']:
            c['level'] = levels[-1]['level']
        largest = max(largest, a)
    return levels


def level_loss(f, k):
    if k >= len(f) or f[0] is None or f[k] is None or f[0] == 0:
        return None
    return (f[0] - f[k]) / f[0]


def betas(X, Y, cycles):
    first = next((c for c in cycles if c['closed'] and c['p1'] and c['p2'] and X[c['p1']] != 0 and X[c['p2']] != 0),
                 None)
    if first is None:
        return None, None, [None] * len(cycles)
    kp, kn = Y[first['p1']] / X[first['p1']], Y[first['p2']] / X[first['p2']]
    out = []
    for c in cycles:
        b = None
        if c['closed'] and c['p1'] and c['p2']:
            x1, y1, x2, y2 = X[c['p1']], Y[c['p1']], X[c['p2']], Y[c['p2']]
            try:
                w = (x1 - y1 / kp) - (x2 - y2 / kn)
                if math.isfinite(w) and not w < 0.1 * (x1 - x2):
                    b = c['energy'] / ((y1 - y2) * w)
            except ZeroDivisionError:
                b = None
            if b is not None and not math.isfinite(b):
                b = None
        out.append(b)
    return kp, kn, out


def load_at(X, Y, a, b, x):
    for k in range(a, b + 1):
        if X[k] == x:
            return Y[k]
    for k in range(a + 1, b + 1):
        if X[k - 1] < x < X[k] or X[k] < x < X[k - 1]:
            return Y[k - 1] + (Y[k] - Y[k - 1]) * (x - X[k - 1]) / (X[k] - X[k - 1])
    return None


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
    want = want or 0.0  # -0 is written 0
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

def check_record(batch, folder, name, settings, tolerance, height=None, drift=None, yield_disp=None, extra=(),
                 window_limits=False, deadband=None, peak_rule='halves', rule='peak-load'):
    """deadband: None, a load, or the text 'P%'; peak_rule and rule (the
    envelope's) as kov-batch names them."""
    x_col, y_col, skip, x_coef, y_coef = settings
    args = [batch, '--x-column', str(x_col), '--y-column', str(y_col), '--skip-lines', str(skip),
            '--x-coef', repr(x_coef), '--y-coef', repr(y_coef), '--x-unit', 'mm', '--y-unit', 'kN',
            '--json', '--csv', '--summary', 'summary.csv', *extra, name]
    if tolerance is not None:
        args[1:1] = ['--level-tolerance', repr(tolerance)]
    for option, value in (('--height', height), ('--acceptance-drift', drift), ('--yield-disp', yield_disp)):
        if value is not None:
            args[1:1] = [option, repr(value)]
    if window_limits:
        args[1:1] = ['--window-limits']
    if deadband is not None:
        args[1:1] = ['--deadband', str(deadband)]
    if peak_rule != 'halves':
        args[1:1] = ['--peak-rule', peak_rule]
    if rule != 'peak-load':
        args[1:1] = ['--envelope', rule]
    X, Y, rows, columns = read_record(os.path.join(folder, name), x_col, y_col, skip, f32(x_coef), f32(y_coef))
    run = subprocess.run(args, cwd=folder, capture_output=True, text=True)
    if window_limits and rows > 2000:
        want = f'{name}: This file includes error data or you may mistake column or skip indication. (9)\n'
        check_exact(name + ' beyond the window', (run.returncode, run.stderr), (1, want))
        return
    if run.returncode != 0:
        F.fail(name, f'kov-batch exited with {run.returncode}: {run.stderr.strip()}')
        return
    t = 0.05 if tolerance is None else tolerance
    stem = os.path.join(folder, name[:-4] + '-kov')
    with open(stem + '.json', encoding='utf-8') as f:
        doc = json.load(f, parse_float=Num, parse_int=Num)
    with open(stem + '.csv', encoding='utf-8', newline='') as f:
        csv_lines = f.read().split('\r\n')
    with open(stem + '.prn', encoding='utf-8', newline='') as f:
        results = f.read().split('\r\n')

    band = 0.0
    if isinstance(deadband, str):
        band = float(deadband[:-1]) / 100 * max(abs(v) for v in Y[1:rows + 1])
    elif deadband is not None:
        band = deadband
    cycles, truncated = automatic_course(X, Y, rows, 100 if window_limits else None, band, peak_rule)
    levels = protocol(X, cycles, t)
    kp, kn, beta = betas(X, Y, cycles)
    cumulative = 0.0
    for c, b in zip(cycles, beta):
        c['beta'] = b
        c['drift_pos'] = X[c['p1']] / height if height and c['p1'] else None
        c['drift_neg'] = X[c['p2']] / height if height and c['p2'] else None
        c['inelastic'] = c['cumulative'] = None
        if yield_disp:
            pos = 2 * max(0.0, X[c['p1']] - yield_disp) if c['p1'] else 0.0
            neg = 2 * max(0.0, -X[c['p2']] - yield_disp) if c['p2'] else 0.0
            c['inelastic'] = (pos + neg) / yield_disp
            cumulative += c['inelastic']
            c['cumulative'] = cumulative
    where = name
    check_exact(where + ' version', doc['version'], doc['version'] if re.fullmatch(r'\d+\.\d+\.\d+', doc['version']) else '')
    for key, want in (('height', height), ('yield_disp', yield_disp)):
        if want is None:
            check_exact(f'{where} {key}', doc['settings'][key], None)
        else:
            check_double(f'{where} {key}', doc['settings'][key], want)
    check_double(where + ' acceptance_drift', doc['settings']['acceptance_drift'], 0.035 if drift is None else drift)
    check_exact(where + ' rows', doc['rows'], rows)
    check_exact(where + ' columns', doc['columns'], columns)
    check_exact(where + ' truncated', doc['truncated'], truncated)
    check_exact(where + ' record', doc['record'], os.path.join(folder, name))
    with open(os.path.join(folder, name), 'rb') as f:
        provenance = [hashlib.sha256(f.read()).hexdigest(), doc['version']]
    check_exact(where + ' record_sha256', doc['record_sha256'], provenance[0])
    check_float(where + ' x_coef', doc['settings']['x_coef'], f32(x_coef))
    check_double(where + ' level_tolerance', doc['settings']['level_tolerance'], t)
    check_exact(where + ' cycles', len(doc['cycles']), len(cycles))
    check_exact(where + ' peak_rule', (doc['settings']['peak_rule'], doc['settings']['envelope']), (peak_rule, rule))

    for n, (c, got) in enumerate(zip(cycles, doc['cycles']), start=1):
        w = f'{name} cycle {n}'
        for key, want in (('cycle', n), ('start_step', c['s']), ('end_step', c['e']), ('closed', c['closed'])):
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
        check_exact(f'{w} level', got['level'], c['level'])
        check_exact(f'{w} role', got['role'], c['role'])
        for key, want in (('beta', 'beta'), ('drift_pos', 'drift_pos'), ('drift_neg', 'drift_neg'),
                          ('inelastic_deformation', 'inelastic'), ('cumulative_inelastic_deformation', 'cumulative')):
            check_double(f'{w} {key}', got[key], c[want])
        c['max_load'], c['min_load'] = m['max_load'], m['min_load']
        # The CSV row holds the same texts, empty where JSON has null.
        flat = [got['cycle'], got['start_step'], got['end_step'], str(got['closed']).lower(), got['peak1']['step'],
                got['peak1']['x'],
                got['peak1']['y'], got['peak2']['step'], got['peak2']['x'], got['peak2']['y']] + \
               [got[k] for k in ('energy', 'total_energy', 'strain_energy', 'damping', 'max_load', 'min_load',
                                 'secant_stiffness', 'residual_pos', 'residual_neg', 'level', 'role', 'beta',
                                 'drift_pos', 'drift_neg', 'inelastic_deformation',
                                 'cumulative_inelastic_deformation')]
        check_exact(f'{w} csv', csv_lines[n].split(','), ['' if v is None else str(v) for v in flat] + provenance)
        # The results file writes cycle and step numbers whole, however wide.
        line = results[n + 4].split()
        check_exact(f'{w} results row', [int(line[0]), int(line[1]), int(line[4])], [n, c['p1'], c['p2']])

    summary_want = {}
    for key, sign, label in (('peak1', 1, 'positive'), ('peak2', -1, 'negative')):
        points, curve = side(X, Y, [dict(c) for c in cycles], t, 'p1' if sign > 0 else 'p2', sign, rule)
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

    # The average envelope: one point per level from its first cycle.
    average = [(0.0, 0.0)]
    for lv in levels:
        c = cycles[lv['first'] - 1]
        pos, neg = envelope_point(X, Y, c, 1, rule), envelope_point(X, Y, c, -1, rule)
        if pos and neg:
            average.append(((pos[0] - neg[0]) / 2, (pos[1] - neg[1]) / 2))
    got = doc['envelope']['average']
    check_exact(name + ' average points', len(got['points']), len(average))
    for (gx, gy), (x, y) in zip(got['points'], average):
        check_double(name + ' average point x', gx, x)
        check_double(name + ' average point y', gy, y)
    curve = eeep(average) or {}
    for k in ('peak_load', 'peak_disp', 'elastic_stiffness', 'yield_load', 'yield_disp', 'ultimate_disp', 'ductility'):
        check_double(f'{name} average {k}', got[k], curve.get(k))
    check_exact(name + ' average failure_reached', got['failure_reached'], curve.get('failure_reached'))
    for label, points in (('positive', None), ('negative', None), ('average', average)):
        side_curve = eeep(points) if points else None
        if points is None:
            sign = 1 if label == 'positive' else -1
            side_curve = eeep([(sign * x, sign * y)
                               for x, y in envelope(X, Y, cycles, t, 'p1' if sign > 0 else 'p2', sign, rule)])
        check_exact(f'{name} {label} yield_fallback', doc['envelope'][label]['yield_fallback'],
                    side_curve['yield_fallback'] if side_curve else None)

    # The levels, with their strength degradation, and NAME-kov-levels.csv.
    with open(stem + '-levels.csv', encoding='utf-8', newline='') as f:
        level_lines = f.read().split('\r\n')
    check_exact(name + ' levels', len(doc['levels']), len(levels))
    most = max((sum(1 for n in lv['cycles'] if cycles[n - 1]['role'] != 'trailing') for lv in levels), default=0)
    for lv, got, line in zip(levels, doc['levels'], level_lines[1:]):
        w = f'{name} level {lv["level"]}'
        first = cycles[lv['first'] - 1]
        reps = [cycles[n - 1] for n in lv['cycles'] if cycles[n - 1]['role'] != 'trailing']
        fp, fn = [c['max_load'] for c in reps], [c['min_load'] for c in reps]
        lv['reps'] = reps
        prev = next((p for p in levels if p['level'] == lv['level'] - 1), None)
        for key, want in (('level', lv['level']), ('first_cycle', lv['first']), ('cycles', len(lv['cycles'])),
                          ('repeats', len(reps)), ('trailing', len(lv['cycles']) - len(reps))):
            check_exact(f'{w} {key}', got[key], want)
        check_float(w + ' amplitude', got['amplitude'], lv['amp'])
        check_float(w + ' x_pos', got['x_pos'], X[first['p1']] if first['p1'] else None)
        check_float(w + ' x_neg', got['x_neg'], X[first['p2']] if first['p2'] else None)
        check_double(w + ' ratio', got['ratio'], lv['amp'] / prev['amp'] if prev else None)
        check_double(w + ' drift', got['drift'], lv['amp'] / height if height else None)
        check_exact(w + ' strength count', (len(got['strength_pos']), len(got['strength_neg'])), (len(reps), len(reps)))
        for g, want in zip(got['strength_pos'] + got['strength_neg'], fp + fn):
            check_float(w + ' strength', g, want)
        for key, f, k in (('loss_pos', fp, len(fp) - 1), ('loss_neg', fn, len(fn) - 1), ('loss3_pos', fp, 2),
                          ('loss3_neg', fn, 2)):
            check_double(f'{w} {key}', got[key], level_loss(f, k))
        flat = [got[k] for k in ('level', 'first_cycle', 'amplitude', 'x_pos', 'x_neg', 'cycles', 'repeats',
                                 'trailing', 'ratio', 'drift', 'loss_pos', 'loss_neg', 'loss3_pos', 'loss3_neg')]
        for key in ('strength_pos', 'strength_neg'):
            flat += got[key] + [''] * (most - len(got[key]))
        check_exact(w + ' csv', line.split(','), ['' if v is None else str(v) for v in flat])

    # Acceptance at the third repeat of the first level that reaches the drift.
    accept = None
    if height:
        limit = 0.035 if drift is None else drift
        lv = next((lv for lv in levels if lv['amp'] / height >= limit), None)
        c = lv['reps'][2] if lv and len(lv['reps']) >= 3 else None
        top = max((x['max_load'] for x in cycles if x['closed'] and x['max_load'] is not None), default=None)
        bottom = min((x['min_load'] for x in cycles if x['closed'] and x['min_load'] is not None), default=None)
        want = dict(strength_pos=(c and c['max_load'], top and 0.75 * top, 1),
                    strength_neg=(c and c['min_load'], bottom and 0.75 * bottom, -1),
                    beta=(c and c['beta'], 0.125, 1), stiffness=(None, 0.05 * kp if kp is not None else None, 1))
        if c and c['p1'] and c['p2']:
            a, b = min(c['p1'], c['p2']), max(c['p1'], c['p2'])
            up, down = load_at(X, Y, a, b, lv['amp'] / 10), load_at(X, Y, a, b, -lv['amp'] / 10)
            if up is not None and down is not None:
                want['stiffness'] = ((up - down) / (lv['amp'] / 5), want['stiffness'][1], 1)
        got = doc['acceptance']
        check_double(name + ' acceptance drift_limit', got['drift_limit'], limit)
        check_exact(name + ' acceptance level', got['level'], lv['level'] if lv else None)
        check_exact(name + ' acceptance cycle', got['cycle'], cycles.index(c) + 1 if c else None)
        passes = []
        for key, (value, lim, sign) in want.items():
            ok = None if value is None or lim is None else sign * value >= sign * lim
            passes.append(ok)
            check_double(f'{name} acceptance {key} value', got['checks'][key]['value'], value)
            check_double(f'{name} acceptance {key} limit', got['checks'][key]['limit'], lim)
            check_exact(f'{name} acceptance {key} pass', got['checks'][key]['pass'], ok)
        accept = None if c is None else all(p is True for p in passes)
        check_exact(name + ' acceptance pass', got['pass'], accept)
        accept = 'not reached' if c is None else 'pass' if accept else 'fail'
    else:
        check_exact(name + ' acceptance', doc['acceptance'], None)

    with open(os.path.join(folder, 'summary.csv'), encoding='utf-8', newline='') as f:
        row = f.read().split('\r\n')[1].split(',')
    # Without the label and group after the record and the units before the provenance.
    row = row[:1] + row[3:-4] + row[-2:]
    closed = [c['damping'] for c in cycles if c['closed']]
    mean = sum(closed) / len(closed) if closed else None
    cells = [Num(v) if v else None for v in row[2:-2]]
    check_exact(name + ' summary provenance', row[-2:], provenance)
    check_exact(name + ' summary', row[:4], [os.path.join(folder, name), 'ok', str(rows), str(len(cycles))])
    check_float(name + ' summary total', cells[2], cycles[-1]['total'])
    check_double(name + ' summary mean damping', cells[3], mean)
    check_float(name + ' summary peak pos', cells[4], summary_want['positive'][0])
    check_float(name + ' summary peak neg', cells[5], summary_want['negative'][0])
    check_double(name + ' summary ductility pos', cells[6], summary_want['positive'][1])
    check_double(name + ' summary ductility neg', cells[7], summary_want['negative'][1])
    check_exact(name + ' summary levels', row[10], str(len(levels)))
    finite = [b for b in beta if b is not None]
    check_double(name + ' summary beta_min', cells[9], min(finite) if finite else None)
    check_exact(name + ' summary acceptance', row[12], accept or '')
    # Cycles ended by a crossing whose load stayed above -5 % of the largest.
    largest = max(abs(v) for v in Y[1:rows + 1])
    noise = sum(1 for c in cycles if c['closed'] and all(Y[k] > -0.05 * largest for k in range(c['s'] + 1, c['e'])))
    check_exact(name + ' summary noise cycles', row[13], str(noise))
    check_exact(name + ' noise warning', 'look like noise' in run.stderr or 'looks like noise' in run.stderr, noise > 0)
    if not window_limits and rows <= 2000 and len(cycles) <= 100:
        # Within the window's limits, --window-limits changes no byte.
        written = [read_bytes(stem + ending) for ending in ('.prn', '.json', '.csv', '-levels.csv')]
        again = subprocess.run(args[:1] + ['--window-limits'] + args[1:], cwd=folder, capture_output=True)
        check_exact(name + ' with --window-limits', again.returncode, 0)
        same = [read_bytes(stem + ending) for ending in ('.prn', '.json', '.csv', '-levels.csv')]
        written[0] = written[0].split(b'\r\n', 2)[2]  # line 2 holds the time of writing
        same[0] = same[0].split(b'\r\n', 2)[2]
        check_exact(name + ' outputs with --window-limits', same, written)
    envelope_sizes = (len(doc['envelope']['positive']['points']), len(doc['envelope']['negative']['points']))
    print(f'{name}: {rows} rows, {len(cycles)} cycles, envelope points {envelope_sizes}, '
          f'failure {doc["envelope"]["positive"]["failure_reached"]}/{doc["envelope"]["negative"]["failure_reached"]}, '
          f'{len(levels)} levels, acceptance {accept}')


def read_bytes(path):
    with open(path, 'rb') as f:
        return f.read()


# ---- Generated records: growing loops with noise

def growing_loops(rng, levels, repeats, steps, noise, soften, trailing=0):
    """Displacement-controlled cycles, a few at each level of a growing
    amplitude (followed by trailing cycles at three quarters of it); the
    load follows a backbone that yields and, with soften, loses strength
    beyond its peak, with a loop lag and random noise."""
    k, py, n = rng.uniform(5, 50), rng.uniform(50, 200), rng.uniform(1.5, 4)
    lag = rng.uniform(0.1, 0.5)
    d_peak = rng.uniform(0.4, 0.7) * levels
    lines = []
    for level in range(1, levels + 1):
        amp = level * rng.uniform(0.9, 1.1)
        strength = k * amp / (1 + (k * amp / py) ** n) ** (1 / n)
        if soften and level > d_peak:
            strength *= max(0.2, 1 - soften * (level - d_peak))
        for cycle in range(repeats + trailing):
            a, f = (amp, strength) if cycle < repeats else (0.75 * amp, 0.8 * strength)
            for i in range(steps):
                phase = 2 * math.pi * (i + 0.5) / steps
                x = a * math.sin(phase) * (1 + rng.gauss(0, noise))
                y = f * math.sin(phase + lag) * rng.uniform(0.95, 1.05) + rng.gauss(0, noise * py)
                lines.append(f'{len(lines) + 1} {x:.6f} {y:.5f}')
    return 'generated record\r\nstep X Y\r\n' + '\r\n'.join(lines) + '\r\n'


def sine_loops(rows, cycles, flicker=0.0):
    """rows rows of `cycles` loops of growing amplitude, the load ahead of the
    displacement; flicker: where the load is near zero, it flickers between
    +flicker and -flicker from step to step."""
    lines = []
    for i in range(1, rows + 1):
        phase = 2 * math.pi * cycles * (i - 0.5) / rows
        amp = 1 + 9 * i / rows
        y = 50 * amp * math.sin(phase)
        if abs(y) < 4 * flicker:
            y = flicker if i % 2 else -flicker
        lines.append(f'{i} {amp * math.sin(phase - 0.4):.6f} {y:.4f}')
    return 'generated record\r\nstep X Y\r\n' + '\r\n'.join(lines) + '\r\n'


# Long records: rows, cycles, --window-limits, --deadband, flicker of the load.
LONG_RECORDS = [
    (2000, 100, False, None, 0), (2000, 100, True, None, 0), (2000, 100, False, 0.0, 0),
    (2001, 20, False, None, 0), (2001, 20, True, None, 0),  # the window refuses row 2001
    (1990, 101, False, None, 0), (1990, 101, True, None, 0),  # the window stops after cycle 100
    (32768, 300, False, None, 0), (65537, 10000, False, None, 0), (1000000, 40, False, None, 0),
    (4000, 35, False, None, 2.0), (4000, 35, False, 5.0, 2.0), (4000, 35, False, '5%', 2.0),
    (4000, 35, False, 2.5, 2.0), (2000, 20, True, '0.5%', 2.0),
]


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
            for tolerance, height, drift, yield_disp in ((None, None, None, None), (0.0, 100.0, None, 1.0),
                                                         (0.3, 500.0, 0.01, 5.0)):
                check_record(batch, folder, name, settings, tolerance, height, drift, yield_disp)
            check_record(batch, folder, name, settings, None, 100.0, peak_rule='window', rule='peak-displacement')

        rng = random.Random(20260814)
        shapes = [(6, 3, 24, 0.01, 0.0), (8, 2, 40, 0.03, 0.25), (12, 3, 16, 0.02, 0.15), (5, 1, 60, 0.0, 0.5),
                  (10, 2, 30, 0.05, 0.1), (40, 3, 12, 0.02, 0.05),  # this one has more than 100 cycles
                  (7, 1, 24, 0.01, 0.1, 2), (6, 3, 20, 0.02, 0.2, 1)]  # trailing cycles
        for i, shape in enumerate(shapes):
            name = f'generated-{i}.prn'
            with open(os.path.join(folder, name), 'w', newline='') as f:
                f.write(growing_loops(rng, *shape))
            check_record(batch, folder, name, (2, 3, 2, 1.0, rng.choice([1.0, 0.5, 9.80665])), rng.choice([None, 0.1]),
                         rng.choice([None, 50.0, 100.0, 200.0]), rng.choice([None, 0.02, 0.05]),
                         rng.choice([None, 0.5, 2.0]))
            if shape[0] * shape[1] > 100:
                check_record(batch, folder, name, (2, 3, 2, 1.0, 1.0), None, window_limits=True)

        for rows, cycles, window_limits, deadband, flicker in LONG_RECORDS:
            name = f'long-{rows}-{cycles}.prn'
            with open(os.path.join(folder, name), 'w', newline='') as f:
                f.write(sine_loops(rows, cycles, flicker))
            check_record(batch, folder, name, (2, 3, 2, 1.0, 1.0), None, window_limits=window_limits,
                         deadband=deadband)
            os.remove(os.path.join(folder, name))

    print(f'{F.checked} values checked, largest relative deviation of a derived value {F.worst:.3g}')
    print(f'{F.checked - F.count} passed, {F.count} failed')
    return 1 if F.count else 0


if __name__ == '__main__':
    sys.exit(main())
