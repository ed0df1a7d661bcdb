#!/usr/bin/env python3
"""kov-batch under the window's rules writes what it wrote before cycles were
marked open or closed (tests/data/window-rule-outputs).

With --window, each results file is the one written then. With --peak-rule
window --envelope peak-displacement, the results file too, and the JSON and
CSV files the same apart from the new keys and columns and the statistics
that now leave an open cycle out: an open cycle's level, role and beta, the
level it belonged to, the average envelope when it began a level, and the
acceptance. -0 is written 0 now.

Usage: window_rule_outputs.py KOV_BATCH EXAMPLES_DIR GOLDEN_DIR
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile

NEW_SETTINGS = ('peak_rule', 'envelope', 'rows', 'x_offset', 'y_offset', 'steps_file', 'steps_sha256')
FAILED = []


def check(where, got, want):
    if got != want:
        FAILED.append(where)
        print(f'FAIL {where}:\n  got  {got!r}\n  want {want!r}')


def read(path):
    with open(path, encoding='utf-8', newline='') as f:
        return f.read()


def without_line2(text):
    lines = text.split('\r\n')
    return lines[:1] + lines[2:]


def number_texts(value):
    """The document with every number as its text (-0 as 0), so that texts
    are compared, not values."""
    if isinstance(value, dict):
        return {k: number_texts(v) for k, v in value.items()}
    if isinstance(value, list):
        return [number_texts(v) for v in value]
    if isinstance(value, str) and value == '-0':
        return '0'
    return value


def load_json(path):
    with open(path, encoding='utf-8') as f:
        doc = json.load(f, parse_float=str, parse_int=str)
    return number_texts(doc)


def csv_rows(path):
    return [line.split(',') for line in read(path).split('\r\n') if line]


def compare(name, golden, written):
    """The JSON and CSV files of one record against the golden ones."""
    old, new = load_json(os.path.join(golden, 'record-kov.json')), load_json(os.path.join(written, 'record-kov.json'))
    for doc in (old, new):
        doc.pop('record')
        doc.pop('version')
    for key in NEW_SETTINGS:
        check(f'{name}: settings {key} is new', key in new['settings'] and key not in old['settings'], True)
        new['settings'].pop(key, None)
    open_cycles, open_levels, open_primary = [], set(), False
    for c in new['cycles']:
        n = int(c['cycle'])
        check(f'{name}: cycle {n} corrected', c.pop('corrected'), [])
        if not c.pop('closed'):
            open_cycles.append(n)
            was = old['cycles'][n - 1]
            if was['level'] is not None:
                open_levels.add(was['level'])
            open_primary = open_primary or was['role'] == 'primary'
            for key in ('level', 'role', 'beta'):
                check(f'{name}: cycle {n} open: no {key}', c[key], None)
                was[key] = None
    check(f'{name}: only the last cycle may be open', open_cycles in ([], [len(new['cycles'])]), True)
    if open_cycles:
        for doc in (old, new):
            doc.pop('acceptance')
            doc['levels'] = [lv for lv in doc['levels'] if lv['level'] not in open_levels]
            if open_primary:
                doc['envelope'].pop('average')
    check(f'{name}: JSON', new, old)

    old_rows, new_rows = csv_rows(os.path.join(golden, 'record-kov.csv')), csv_rows(os.path.join(written, 'record-kov.csv'))
    at = new_rows[0].index('closed')
    check(f'{name}: CSV closed column after end_step', new_rows[0][at - 1], 'end_step')
    for r in new_rows:
        del r[at]
    head = old_rows[0]
    for n in open_cycles:
        for key in ('level', 'role', 'beta'):
            old_rows[n][head.index(key)] = ''
    old_rows = [[v if v != '-0' else '0' for v in r[:-1]] for r in old_rows]  # the version last
    check(f'{name}: CSV', [r[:-1] for r in new_rows], old_rows)

    old_levels = csv_rows(os.path.join(golden, 'record-kov-levels.csv'))
    new_levels = csv_rows(os.path.join(written, 'record-kov-levels.csv'))
    keep = lambda rows: [[v if v != '-0' else '0' for v in r] for r in rows if r[0] not in open_levels]
    if not open_levels:
        check(f'{name}: levels CSV', keep(new_levels), keep(old_levels))
    else:
        # Dropping a level's repeat may drop a strength column too.
        check(f'{name}: levels CSV', [r[:14] for r in keep(new_levels)], [r[:14] for r in keep(old_levels)])


def main():
    batch, examples, goldens = sys.argv[1:4]
    with tempfile.TemporaryDirectory(prefix='kov-window-rules-') as work:
        for name in sorted(os.listdir(goldens)):
            golden = os.path.join(goldens, name)
            with open(os.path.join(golden, 'args'), encoding='utf-8') as f:
                args = f.read().splitlines()
            with open(os.path.join(golden, 'record'), encoding='utf-8') as f:
                record = f.read().strip()
            for rules in (['--window'], ['--peak-rule', 'window', '--envelope', 'peak-displacement']):
                folder = os.path.join(work, name + rules[0])
                os.mkdir(folder)
                shutil.copy(os.path.join(examples, record), os.path.join(folder, 'record.prn'))
                run = subprocess.run([batch, *args, *rules, '--json', '--csv', 'record.prn'], cwd=folder,
                                     capture_output=True, text=True)
                check(f'{name} {rules[0]}: exit status', (run.returncode, run.stderr), (0, ''))
                check(f'{name} {rules[0]}: results file', without_line2(read(os.path.join(folder, 'record-kov.prn'))),
                      without_line2(read(os.path.join(golden, 'record-kov.prn'))))
                if rules[0] != '--window':
                    compare(name, golden, folder)
    print(f'{len(os.listdir(goldens)) * 2 - len(FAILED)} passed, {len(FAILED)} failed')
    return 1 if FAILED else 0


if __name__ == '__main__':
    sys.exit(main())
