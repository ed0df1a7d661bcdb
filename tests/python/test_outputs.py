"""The module against kov-batch of the same build: for the example records,
the case folders and a table of hostile records, the same texts byte for
byte, the same cycle values, the same failures with the same numbers and
messages."""

import csv
import io
import math
import pathlib

import numpy as np
import pandas as pd
import pytest

import kov
from conftest import EXAMPLES, TEST_DATA, keywords, run_batch


def _args(folder):
    path = folder / "args"
    lines = path.read_text().splitlines() if path.exists() else []
    return [a for a in lines if a not in ("--json", "--csv")]


def _example_cases():
    for folder in sorted((TEST_DATA / "window-rule-outputs").iterdir()):
        record = EXAMPLES / (folder / "record").read_text().strip()
        yield pytest.param(record, _args(folder), id="example-" + folder.name)
    for folder in sorted((TEST_DATA / "cases").iterdir()):
        yield pytest.param(folder / "record.prn", _args(folder), id="case-" + folder.name)


# Records kov-batch must take apart in the same way: (name, bytes, args).
HOSTILE = [
    ("not-a-number", b"h\nh\nh\nh\nh\n1 2\n3 abc\n", []),
    ("empty", b"", []),
    ("header-only", b"h\nh\nh\nh\nh\n", []),
    ("overflow", b"h\nh\nh\nh\nh\n1 2\n1e400 3\n", []),
    ("empty-field", b"h\nh\nh\nh\nh\n1,2\n,3\n", []),
    ("mixed-line-ends", b"h\rh\r\nh\nh\nh\n0 0\r\n1 1\r-1 -1\n0.5 1\r\n-2 -3\n1 2\n", []),
    ("semicolons", b"h\nh\nh\nh\nh\n1,5;2\n-1,5;-2\n", []),
    ("too-long-for-the-window",
     b"h\nh\nh\nh\nh\n" + b"".join(b"%d %d\n" % (i % 7 - 3, (i % 5) - 2) for i in range(2100)), ["--window-limits"]),
    ("more-than-100-cycles",
     b"h\nh\nh\nh\nh\n" + b"".join(b"%d %d\n" % (k, k) for _ in range(120) for k in (1, -1)), ["--window-limits"]),
    ("not-utf8-unit", b"h\nh\nh\nh\nh\n0 0\n1 2\n-1 -2\n1 1\n", ["--x-unit", "\udcff\udcfemm", "--y-unit", "k\u00b5N"]),
    ("column-beyond", b"h\nh\nh\nh\nh\n1 2\n3 4\n", ["--y-column", "3"]),
    ("nul-bytes", b"h\nh\nh\nh\nh\n1 2\n3\x004\n", []),
    ("deadband-percent", b"h\nh\nh\nh\nh\n" + b"".join(b"%g %g\n" % (math.sin(i / 3), math.sin(i / 3) + 0.02 * math.sin(i * 7))
                                                      for i in range(300)), ["--deadband", "5%"]),
    ("auto-header-names", b"run 7\nTime Disp Load\n0 0 0\n1 1 2\n2 -1 -2\n3 1 1\n",
     ["--x-column", "disp", "--y-column", "load"]),
    ("rows-offsets-rules", b"h\nh\nh\nh\nh\n" + b"".join(b"%g %g\n" % (math.sin(i / 5) + 1, math.sin(i / 5 + 0.3))
                                                        for i in range(200)),
     ["--rows", "3:190", "--x-offset", "first", "--y-offset", "0.25", "--peak-rule", "window", "--envelope",
      "peak-displacement"]),
    ("rows-beyond", b"h\nh\nh\nh\nh\n1 2\n-1 -2\n", ["--rows", "50:60"]),
    ("results-file", b"Absorbed Energy and Equivalent Damping Factor calculated by kov1\r\nx\r\n", []),
]


def _same_outputs(run, analysis):
    assert run.status == 0, run.stderr
    assert analysis.results_text(run.written_at()).encode("utf-8", "surrogateescape") == run.file("-kov.prn")
    assert analysis.to_json().encode("utf-8", "surrogateescape") == run.file("-kov.json")
    assert analysis.csv_text().encode("utf-8", "surrogateescape") == run.file("-kov.csv")
    assert analysis.levels_csv_text().encode("utf-8", "surrogateescape") == run.file("-kov-levels.csv")
    warnings = [line.split(": warning: ", 1)[1] for line in run.stderr.splitlines() if ": warning: " in line]
    assert analysis.warnings == warnings
    _same_cycles(analysis.cycles, run.file("-kov.csv"))


def _same_cycles(frame, text):
    """Every cell of the per-cycle CSV equals the DataFrame's value: a float32
    column as the float the text denotes, a missing value as an empty cell."""
    rows = list(csv.reader(io.StringIO(text.decode("utf-8"))))
    heads = [h.split(" (")[0] for h in rows[0]]
    assert list(frame.columns) == heads
    assert len(frame) == len(rows) - 1
    for column, head in zip(frame.columns, rows[0]):
        if " (" in head:
            # The CSV writes a byte that is not UTF-8 as U+FFFD; attrs keeps it.
            unit = frame.attrs["units"][column].encode("utf-8", "surrogateescape").decode("utf-8", "replace")
            assert unit == head.split(" (", 1)[1][:-1]
    for i, row in enumerate(rows[1:]):
        for column, cell in zip(frame.columns, row):
            value = frame[column].iloc[i]
            if cell == "":
                assert pd.isna(value), (column, i, value)
            elif frame[column].dtype == np.float32:
                assert np.float32(float(cell)) == value or (cell == "NaN" and np.isnan(value)), (column, i)
            elif frame[column].dtype == np.float64:
                assert float(cell) == value or (cell == "NaN" and np.isnan(value)), (column, i)
            elif frame[column].dtype == bool:
                assert cell == ("true" if value else "false"), (column, i)
            elif frame[column].dtype == object:
                assert cell == value, (column, i)
            else:
                assert int(cell) == value, (column, i)


@pytest.mark.parametrize("source,args", _example_cases())
def test_examples_match_kov_batch(source, args, copy_record):
    record = copy_record(source)
    run = run_batch(record, args, "--json", "--csv")
    if run.status == 2:
        # A usage error of the record's header: the same message, as a ValueError.
        with pytest.raises(ValueError) as error:
            kov.analyse(record, **keywords(args))
        assert "kov-batch: " + str(error.value) + "\n" == run.stderr
        return
    if run.status != 0:
        with pytest.raises(kov.RecordError) as error:
            kov.analyse(record, **keywords(args))
        assert str(error.value) + "\n" == run.stderr
        return
    _same_outputs(run, kov.analyse(record, **keywords(args)))
    # Read once, analysed from memory: the same.
    reading = {k: v for k, v in keywords(args).items() if k in {n for n, _, use, _ in kov.KEYWORDS if use == "reading"}}
    analysis = {k: v for k, v in keywords(args).items() if k not in reading}
    _same_outputs(run, kov.analyse(kov.read_record(record, **reading), **analysis))


@pytest.mark.parametrize("name,data,args", HOSTILE, ids=[h[0] for h in HOSTILE])
def test_hostile_records_match_kov_batch(name, data, args, tmp_path):
    record = tmp_path / (name + ".prn")
    record.write_bytes(data)
    run = run_batch(record, args, "--json", "--csv")
    if run.status == 0 and "skipped: " not in run.stderr:
        _same_outputs(run, kov.analyse(record, **keywords(args)))
        return
    with pytest.raises(kov.RecordError) as error:
        kov.analyse(record, **keywords(args))
    if "skipped: " in run.stderr:
        assert error.value.code is None and str(error.value) == str(record) + ": a results file of kov, not a test record"
        return
    lines = [line for line in run.stderr.splitlines() if ": warning: " not in line]
    assert str(error.value) == "\n".join(lines)
    assert error.value.code == int(lines[0].rsplit("(", 1)[1].rstrip(")"))


@pytest.mark.parametrize("name,code", [("missing.prn", 53), ("missing-folder/r.prn", 76), (".", 70)])
def test_open_failures_match_kov_batch(name, code, tmp_path):
    record = tmp_path / name
    run = run_batch(record, [])
    with pytest.raises(kov.RecordError) as error:
        kov.read_record(record)
    assert (error.value.code, str(error.value) + "\n") == (code, run.stderr)


def test_write_gives_kov_batch_files(copy_record, tmp_path):
    record = copy_record(EXAMPLES / "rc-column-soesianawati1986.prn", "rc.prn")
    args = ["--x-column", "2", "--y-column", "3", "--x-coef", "1000", "--y-unit", "kN", "--height", "1600"]
    run = run_batch(record, args, "--json", "--csv")
    analysis = kov.analyse(record, **keywords(args))
    out = tmp_path / "out"
    out.mkdir()
    paths = analysis.write(out, json=True, csv=True, when=run.written_at())
    assert [p.name for p in paths] == ["rc-kov.prn", "rc-kov.json", "rc-kov.csv", "rc-kov-levels.csv"]
    for p in paths:
        assert p.read_bytes() == run.file(p.name[2:]), p.name
    assert analysis.write(when=run.written_at()) == [record.parent / "rc-kov.prn"]


def test_write_failures_name_each_file(copy_record, tmp_path):
    record = copy_record(EXAMPLES / "first-try.prn")
    analysis = kov.analyse(record)
    with pytest.raises(kov.RecordError) as error:
        analysis.write(tmp_path / "no-such-folder", json=True)
    assert error.value.code == 76
    assert [line.split(":")[0] for line in error.value.lines] == [
        "Cannot write " + str(tmp_path / "no-such-folder" / "record-kov.prn"),
        "Cannot write " + str(tmp_path / "no-such-folder" / "record-kov.json")]
    (tmp_path / "record-kov.prn").symlink_to(record)
    link = tmp_path / "record-kov.prn"
    with pytest.raises(ValueError, match="would overwrite the record"):
        analysis.write()
    assert link.is_symlink() and record.read_bytes() == (EXAMPLES / "first-try.prn").read_bytes()
