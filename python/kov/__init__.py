"""kov: hysteresis loops of cyclic loading tests, analysed from Python.

    import kov
    a = kov.analyse("examples/first-try.prn", skip_lines=5)
    print(a.cycles)            # the per-cycle table as a pandas DataFrame
    a.plot()                   # the loop, its peaks, envelopes and EEEP curves

The module runs kov's own core, the one kov-batch runs: every number, the
results file (results_text), the JSON (to_json) and the CSV tables are the
very bytes kov-batch writes for the same record and options.

Functions: read_record, analyse, inspect. Classes: Record, Analysis.
Errors: RecordError (a ValueError) for a record that cannot be read,
analysed or written, with the error number as .code; TypeError or
ValueError naming the keyword for a usage mistake.

The keywords of read_record, inspect and analyse are kov-batch's options
with underscores (x_coef for --x-coef; x and y for --x-column and
--y-column); KEYWORDS lists them. A keyword given as None keeps its default.
Reading and analysis release the GIL, so threads analyse records at once.
"""

import inspect as _inspect
import os as _os
import pathlib as _pathlib

from . import _kov
from . import _tables

__all__ = ["read_record", "analyse", "inspect", "Record", "Analysis", "RecordError", "KEYWORDS", "__version__"]

__version__ = _kov.__version__

#: The keywords of the options: (keyword, kov-batch option, "reading" or
#: "analysis", what it does). Reading keywords go to read_record, inspect
#: and analyse of a path; analysis keywords to analyse.
KEYWORDS = tuple(_kov.keywords())

RecordError = _kov.RecordError
RecordError.__module__ = "kov"
RecordError.__doc__ = """A record that cannot be read, analysed or written (a ValueError).

code: the error number (53 file not found, 13 a field that is not a number,
    9 more rows than the limits, ...), None for a file that is no test
    record (an earlier results file).
lines: the error lines kov-batch prints for it, without the record's name.
path: the record as named. str(error) is kov-batch's lines, "NAME: LINE" each.
"""


def _path(name):
    return _pathlib.Path(_os.fsdecode(name))


def _keywords_doc(use):
    return "\n".join(f"    {name} ({option}): {doc}" for name, option, kind, doc in KEYWORDS if kind in use)


def _with_keywords(function, use):
    """Gives function the signature and the docstring of its keywords."""
    parameters = list(_inspect.signature(function).parameters.values())[:-1]
    parameters += [_inspect.Parameter(name, _inspect.Parameter.KEYWORD_ONLY, default=None)
                   for name, _, kind, _ in KEYWORDS if kind in use]
    function.__signature__ = _inspect.Signature(parameters)
    function.__doc__ = function.__doc__.replace("{keywords}", _keywords_doc(use))
    return function


class Record:
    """A test record read into memory by read_record.

    x, y: the displacement and the load of every data row (step), after the
        coefficients, as read-only float32 numpy arrays over the record's
        own memory (no copy).
    rows, columns: the data rows and the fields of a row.
    column_names, column_units: what the header gives each column (empty
        lists when it names none).
    x_column, y_column, skip_lines, x_coef, y_coef, x_unit, y_unit: how it was
        read (a column name or skip_lines="auto" resolved).
    sha256: SHA-256 of the record's bytes as read. path: the record as named,
    absolute_path: its absolute path as the results name it.
    """

    __slots__ = ("_core",)

    def __init__(self, core):
        self._core = core

    path = property(lambda self: _path(self._core.path))
    absolute_path = property(lambda self: _path(self._core.absolute_path))
    x = property(lambda self: self._core.x)
    y = property(lambda self: self._core.y)
    rows = property(lambda self: self._core.rows)
    columns = property(lambda self: self._core.columns)
    column_names = property(lambda self: self._core.column_names)
    column_units = property(lambda self: self._core.column_units)
    x_column = property(lambda self: self._core.x_column)
    y_column = property(lambda self: self._core.y_column)
    skip_lines = property(lambda self: self._core.skip_lines)
    x_coef = property(lambda self: self._core.x_coef)
    y_coef = property(lambda self: self._core.y_coef)
    x_unit = property(lambda self: self._core.x_unit)
    y_unit = property(lambda self: self._core.y_unit)
    sha256 = property(lambda self: self._core.sha256)
    notes = property(lambda self: self._core.notes)

    def __len__(self):
        return self.rows

    def __repr__(self):
        return (f"<kov.Record {str(self.path)!r}: {self.rows} rows, X column {self.x_column} ({self.x_unit}), "
                f"Y column {self.y_column} ({self.y_unit})>")


class Analysis:
    """A record analysed cycle by cycle, as kov-batch analyses it.

    cycles: the per-cycle table (kov-batch's NAME-kov.csv) as a DataFrame;
        the units of its columns in cycles.attrs["units"].
    levels: the levels of the loading protocol (NAME-kov-levels.csv).
    protocol: the loading protocol cycle by cycle: amplitude, level, role.
    envelope: "positive", "negative" and "average", each a dict of its
        points (an n x 2 array of X and Y) and its EEEP curve's values, as
        the JSON has them (None where a side has no curve).
    acceptance: the acceptance checks (a dict as in the JSON; None without
        height). summary: the key figures of kov-batch's summary row.
    warnings: kov-batch's warning lines for the record.
    to_json(), results_text(), csv_text(), levels_csv_text(): the files' texts;
    write(): the files themselves; plot(): the loop with matplotlib.
    """

    __slots__ = ("_core", "_cache")

    def __init__(self, core):
        self._core = core
        self._cache = {}

    def _cached(self, key, make):
        if key not in self._cache:
            self._cache[key] = make()
        return self._cache[key]

    @property
    def record(self):
        """The Record analysed."""
        return self._cached("record", lambda: Record(self._core.record))

    @property
    def cycles(self):
        return self._cached("cycles", lambda: _tables.cycle_frame(self._core))

    @property
    def levels(self):
        return self._cached("levels", lambda: _tables.csv_frame(self._core.levels_csv(), self._core))

    @property
    def protocol(self):
        return self._cached("protocol", lambda: _tables.protocol_frame(self._core))

    @property
    def envelope(self):
        return self._cached("envelope", lambda: _tables.envelope(self._core, self._document()))

    @property
    def acceptance(self):
        return self._document()["acceptance"]

    @property
    def summary(self):
        return self._cached("summary", self._core.summary)

    @property
    def warnings(self):
        return self._core.warnings

    @property
    def x(self):
        """X of the analysed steps (float32)."""
        return self._steps()[0]

    @property
    def y(self):
        """Y of the analysed steps (float32)."""
        return self._steps()[1]

    def _steps(self):
        return self._cached("steps", self._core.steps)

    def _document(self):
        import json
        return self._cached("document", lambda: json.loads(self.to_json()))

    def to_json(self):
        """The text of NAME-kov.json, as kov-batch --json writes it."""
        return self._core.json()

    def csv_text(self):
        """The text of NAME-kov.csv, as kov-batch --csv writes it."""
        return self._core.csv()

    def levels_csv_text(self):
        """The text of NAME-kov-levels.csv, as kov-batch --csv writes it."""
        return self._core.levels_csv()

    def results_text(self, when=None):
        """The text of the results file NAME-kov.prn (CR LF line ends).

        Line 2 gives the date and time of when (a datetime; local time now
        when None). A byte of the record's name or units that is not UTF-8
        is a lone surrogate: text.encode("utf-8", "surrogateescape") gives
        the file's very bytes.
        """
        return self._core.results_text(_time_fields(when)).decode("utf-8", "surrogateescape")

    def write(self, folder=None, json=False, csv=False, when=None):
        """Writes the results file (and NAME-kov.json with json, NAME-kov.csv
        and NAME-kov-levels.csv with csv) beside the record, or into folder
        under the same names, each whole or not at all, as kov-batch does.
        Returns the paths written; raises RecordError naming every file that
        could not be written, after writing the others.
        """
        return [_path(p) for p in self._core.write(folder, json, csv, _time_fields(when))]

    def plot(self, ax=None):
        """Draws the loop with its cycle ends and peaks, the envelopes and
        their EEEP curves on ax (a new figure's when None); returns ax.
        Needs matplotlib (Debian's python3-matplotlib)."""
        from . import _plot
        return _plot.plot(self, ax)

    def _repr_html_(self):
        """The record's section of kov-batch's HTML report: the loop, the
        charts per cycle, the envelope figures and the per-cycle table."""
        return self._core.section_html()

    def __repr__(self):
        s = self.summary
        return (f"<kov.Analysis {str(self.record.path)!r}: {s['cycles']} cycles, total energy "
                f"{s['total_energy']} {self._core.y_unit}*{self._core.x_unit}>")


def _time_fields(when):
    if when is None:
        return None
    if when.tzinfo is not None:
        when = when.astimezone()
    return (when.year, when.month, when.day, when.hour, when.minute, when.second)


def read_record(path, **options):
    """Reads the test record at path (a str, bytes or os.PathLike) into a Record.

    Reading keywords (kov-batch's options):
{keywords}

    Raises RecordError for a record that cannot be read, ValueError for a
    column name that no column or several have.
    """
    return Record(_kov.read_record(path, **options))


def inspect(path, **options):
    """What the first lines of the record at path say about it, as
    kov-batch --inspect shows it, as a dict: its header lines, columns with
    their names and units, data rows, first and last row, the columns of X
    and Y when the names tell them, and under "keywords" the keywords of
    read_record that read it.

    Reading keywords (skip_lines, decimal_comma, x, y, x_unit, y_unit count):
{keywords}
    """
    return _kov.inspect(path, **options)


def analyse(record, **options):
    """Analyses a Record, or the record at a path, cycle by cycle into an Analysis.

    A Record takes the analysis keywords; a path every keyword.
    Reading keywords:
{reading}
    Analysis keywords:
{analysis}

    Raises RecordError for a record that cannot be read.
    """
    if isinstance(record, Record):
        record = record._core
    return Analysis(_kov.analyse(record, **options))


_with_keywords(read_record, ("reading",))
_with_keywords(inspect, ("reading",))
_with_keywords(analyse, ("reading", "analysis"))
analyse.__doc__ = analyse.__doc__.replace("{reading}", _keywords_doc(("reading",))).replace(
    "{analysis}", _keywords_doc(("analysis",)))
