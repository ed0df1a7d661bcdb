"""The module's own behaviour: keywords, paths, arrays, threads, re-reading."""

import os
import pathlib
import subprocess
import threading
import time

import numpy as np
import pytest

import kov
from conftest import EXAMPLES, KOV_BATCH, TEST_DATA

FIRST_TRY = EXAMPLES / "first-try.prn"

# Options of kov-batch that are about the call, not a record's results:
# what to write and how to run (write() takes --json and --csv).
CALL_OPTIONS = {"--inspect", "--stdout", "--plot", "--plot-scale", "--json", "--csv", "--summary", "--compare", "--report",
                "--campaign", "--reference-group",
                "--jobs", "--quiet", "--no-sync", "--help", "--version"}


def test_every_record_option_of_kov_batch_has_its_keyword(tmp_path):
    shown = subprocess.run([KOV_BATCH, "--help"], capture_output=True, text=True, check=True).stdout
    heads = [line.split() for line in shown.splitlines() if line.startswith("  -")]
    options = {words[1] if words[0].endswith(",") else words[0] for words in heads}
    assert {option for _, option, _, _ in kov.KEYWORDS} == options - CALL_OPTIONS

    # A campaign file's columns are the same options.
    campaign = tmp_path / "c.csv"
    campaign.write_text("record,none\n")
    shown = subprocess.run([KOV_BATCH, "--campaign", str(campaign)], capture_output=True, text=True).stderr
    columns = shown.strip().split("the columns are record, label, group, ")[1].split(", ")
    assert sorted(columns) == sorted(option[2:].replace("-", "_") for _, option, _, _ in kov.KEYWORDS)


@pytest.mark.parametrize("call,error,message", [
    (lambda: kov.read_record(FIRST_TRY, x_coeff=2), TypeError, "unexpected keyword argument 'x_coeff'; did you mean 'x_coef'"),
    (lambda: kov.read_record(FIRST_TRY, height=3), TypeError, "give it to kov.analyse"),
    (lambda: kov.analyse(kov.read_record(FIRST_TRY), y_unit="kN"), TypeError, "give it to kov.read_record"),
    (lambda: kov.read_record(FIRST_TRY, x=0), ValueError, "x must be a column number from 1 to 32767, not 0"),
    (lambda: kov.read_record(FIRST_TRY, x=1.5), TypeError, "x must be a column number (int) or a column name (str), not float"),
    (lambda: kov.read_record(FIRST_TRY, x=True), TypeError, "not bool"),
    (lambda: kov.read_record(FIRST_TRY, y=""), ValueError, "y must be"),
    (lambda: kov.read_record(FIRST_TRY, skip_lines="some"), ValueError, "skip_lines must be a number of lines or 'auto'"),
    (lambda: kov.read_record(FIRST_TRY, skip_lines=-1), ValueError, "from 0 to 32767"),
    (lambda: kov.read_record(FIRST_TRY, x_coef="2"), TypeError, "x_coef must be a number, not str"),
    (lambda: kov.read_record(FIRST_TRY, y_coef=1e39), ValueError, "within the float range"),
    (lambda: kov.read_record(FIRST_TRY, decimal_comma=1), TypeError, "decimal_comma must be True or False"),
    (lambda: kov.read_record(FIRST_TRY, x_unit=5), TypeError, "x_unit must be a str, not int"),
    (lambda: kov.read_record(FIRST_TRY, sheet=0), ValueError, "sheet must be"),
    (lambda: kov.analyse(FIRST_TRY, level_tolerance=1.5), ValueError, "level_tolerance must be a number from 0 to 1"),
    (lambda: kov.analyse(FIRST_TRY, height=0), ValueError, "height must be a finite number above 0"),
    (lambda: kov.analyse(FIRST_TRY, yield_disp=float("inf")), ValueError, "yield_disp must be a finite number above 0"),
    (lambda: kov.analyse(FIRST_TRY, acceptance_drift=-1), ValueError, "acceptance_drift"),
    (lambda: kov.analyse(FIRST_TRY, deadband="120%"), ValueError, "deadband must be a percentage from 0% to 100%"),
    (lambda: kov.analyse(FIRST_TRY, deadband="5"), ValueError, "deadband must be a load (a number) or a percentage"),
    (lambda: kov.analyse(FIRST_TRY, deadband=-1), ValueError, "deadband must be a finite load of 0 or more"),
    (lambda: kov.analyse(FIRST_TRY, rows=(5, 2)), ValueError, "rows must be data rows (FROM, TO)"),
    (lambda: kov.analyse(FIRST_TRY, rows=(None, None)), ValueError, "rows must be"),
    (lambda: kov.analyse(FIRST_TRY, rows=(1.5, 3)), TypeError, "rows must be a pair of row numbers"),
    (lambda: kov.analyse(FIRST_TRY, x_offset="last"), ValueError, "x_offset must be a number or 'first'"),
    (lambda: kov.analyse(FIRST_TRY, peak_rule="both"), ValueError, "peak_rule must be 'halves' or 'window'"),
    (lambda: kov.analyse(kov.read_record(FIRST_TRY), window=True), TypeError, "give it to kov.read_record"),
    (lambda: kov.read_record(3), TypeError, "path must be a str, bytes or os.PathLike object, not int"),
    (lambda: kov.read_record("a\0b"), ValueError, "embedded null byte"),
    (lambda: kov.read_record(FIRST_TRY, x="nothing"), ValueError, "no column is named 'nothing'; the columns are: 1 X(mm)"),
])
def test_keyword_mistakes_name_the_keyword(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert message in str(raised.value)
    assert error is not ValueError or not isinstance(raised.value, kov.RecordError)


def test_keyword_values_of_other_types():
    # numpy's scalars, and a column number given as text as on the command line.
    a = kov.analyse(FIRST_TRY, x=np.int64(1), y="2", x_coef=np.float32(2), level_tolerance=np.float64(0.1))
    b = kov.analyse(FIRST_TRY, x_coef=2.0, level_tolerance=0.1, height=None)
    assert a.to_json() == b.to_json()


def test_record_arrays_are_views_of_the_record(copy_record):
    record = kov.read_record(copy_record(FIRST_TRY), x_coef=2)
    x = record.x
    assert x.dtype == np.float32 and x.shape == (record.rows,) and not x.flags.writeable
    assert not x.flags.owndata and np.shares_memory(x, record.x)
    assert x[0] == np.float32(-0.2197) * np.float32(2)
    with pytest.raises(ValueError):
        x[0] = 1
    del record
    assert x[0] == np.float32(-0.4394)  # the array keeps the record's memory alive


def test_paths_of_every_kind(copy_record):
    record = copy_record(FIRST_TRY)
    texts = {kov.analyse(p).to_json() for p in (record, str(record), os.fsencode(record))}
    assert len(texts) == 1
    assert kov.read_record(record).path == record
    assert isinstance(kov.read_record(str(record)).path, pathlib.Path)


def test_a_record_changed_on_disk_is_read_afresh(copy_record):
    record = copy_record(FIRST_TRY)
    first = kov.read_record(record)
    lines = record.read_bytes().split(b"\n")
    lines[6] = b"9.5 1.25\r"
    record.write_bytes(b"\n".join(lines))
    second = kov.read_record(record)
    assert second.x[1] == np.float32(9.5) and first.x[1] == np.float32(-0.0643)
    assert first.sha256 != second.sha256
    # An analysis of the first reading is still of what was read then.
    assert kov.analyse(first).to_json() != kov.analyse(second).to_json()


def test_reading_and_analysis_release_the_gil(tmp_path):
    record = tmp_path / "long.prn"
    rows = 400_000
    steps = np.arange(rows)
    x = 10 * np.sin(steps / 500.0)
    np.savetxt(record, np.column_stack([x, 100 * np.sin(steps / 500.0 + 0.3)]), fmt="%.4f", header="h\nh\nh\nh\nh",
               comments="")
    spans = []

    def work():
        start = time.perf_counter()
        kov.analyse(record)
        spans.append((start, time.perf_counter()))

    threads = [threading.Thread(target=work) for _ in range(2)]
    counted = 0
    for t in threads:
        t.start()
    while any(t.is_alive() for t in threads):
        counted += 1
    for t in threads:
        t.join()
    (a0, a1), (b0, b1) = spans
    assert max(a0, b0) < min(a1, b1), "the two analyses did not overlap"
    # This thread ran Python all the while: the calls did not hold the GIL.
    assert counted > 1000


def test_inspect_gives_what_kov_batch_shows():
    record = EXAMPLES / "rc-column-soesianawati1986.prn"
    facts = kov.inspect(record)
    shown = subprocess.run([KOV_BATCH, "--inspect", str(record)], capture_output=True, text=True).stdout
    assert f"  header lines: {facts['header_lines']}\n" in shown
    assert f"  data rows: {facts['data_rows']}\n" in shown
    assert f"  last row:  {facts['last_row']}\n" in shown
    assert facts["names"] == ["step", "displacement", "force"] and facts["units"] == ["", "m", "kN"]
    assert facts["keywords"] == {"skip_lines": 5, "x": 2, "y": 3, "x_unit": "m", "y_unit": "kN"}
    assert "  options: --skip-lines 5 --x-column 2 --y-column 3 --x-unit m --y-unit kN\n" in shown
    assert kov.read_record(record, **facts["keywords"]).x_unit == "m"


def test_inspect_finds_the_rest_at_the_start_and_the_sheets(tmp_path):
    rest = TEST_DATA / "cases" / "starts-at-rest" / "record.prn"
    facts = kov.inspect(rest, y_unit="kN")
    # kov-batch --inspect says: rows 1 to 150; --rows 151: --x-offset -2.7871 --y-offset 0.749
    assert facts["at_rest"] == {"rows": 150, "keywords": {"rows": (151, None), "x_offset": -2.7871, "y_offset": 0.749}}
    assert facts["sheets"] is None and kov.inspect(FIRST_TRY)["at_rest"] is None
    assert kov.analyse(rest, **facts["at_rest"]["keywords"]).cycles is not None

    openpyxl = pytest.importorskip("openpyxl")
    book = openpyxl.Workbook()
    book.active.title = "notes"
    book.active.append(["no data here"])
    data = book.create_sheet("loop")
    for row in [["X", "Y"], [0, 0], [1, 2], [0, 0]]:
        data.append(row)
    book.save(tmp_path / "test.xlsx")
    facts = kov.inspect(tmp_path / "test.xlsx", sheet="loop")
    assert facts["sheets"] == [{"name": "notes", "rows": 1, "columns": 1, "read": False},
                               {"name": "loop", "rows": 4, "columns": 2, "read": True}]
    assert facts["keywords"]["sheet"] == "loop" and facts["header_lines"] == 1


def test_tables_and_views_of_an_analysis(tmp_path):
    a = kov.analyse(EXAMPLES / "rc-column-soesianawati1986.prn", x=2, y=3, x_coef=1000, y_unit="kN", height=1600)
    assert a.cycles.attrs["units"]["energy"] == "kN*mm" and a.cycles["energy"].dtype == np.float32
    assert a.levels.attrs["units"]["amplitude"] == "mm" and list(a.levels["level"]) == list(range(1, len(a.levels) + 1))
    assert list(a.protocol["level"].dropna()) == list(a.cycles["level"].dropna())
    positive = a.envelope["positive"]
    assert positive["points"].shape[1] == 2 and np.float32(positive["peak_load"]) == a.summary["peak_load_pos"]
    assert a.acceptance["drift_limit"] == 0.035
    assert '<div class="kov-report">' in a._repr_html_()
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    ax = a.plot()
    assert ax.get_xlabel() == "X (mm)" and len(ax.lines) >= 5
    assert kov.__version__ == subprocess.run([KOV_BATCH, "--version"], capture_output=True, text=True).stdout.split()[1]


def test_reference_lists_every_keyword():
    text = (EXAMPLES.parent / "docs" / "python.md").read_text()
    assert [k for k, option, _, _ in kov.KEYWORDS if f"`{k}`" not in text or f"`{option}`" not in text] == []
