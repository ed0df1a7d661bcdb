"""The tables of an analysis as pandas DataFrames."""

import io
import re

import numpy as np

from . import _kov

_HEAD_UNIT = re.compile(r"^(.*) \((.*)\)$")


def _frame(columns, units, core):
    import pandas as pd
    frame = pd.DataFrame(columns)
    frame.attrs["units"] = units
    frame.attrs["x_unit"] = core.x_unit
    frame.attrs["y_unit"] = core.y_unit
    return frame


def cycle_frame(core):
    """The per-cycle table: the CSV's columns, each of its own dtype (int64,
    or pandas' Int64 where a value is missing; float32 for the state's
    floats, float64 for derived values, NaN where missing; bool; str or None)."""
    import pandas as pd
    columns, units = {}, {}
    rows = 0
    for name, unit, kind, values, missing in core.cycle_table():
        rows = len(values)
        if kind == "str":
            values = np.array(values, dtype=object)
        elif missing is not None:
            values = (pd.arrays.IntegerArray if kind == "int" else pd.arrays.BooleanArray)(values, missing)
        columns[name] = values
        if unit:
            units[name] = unit
    columns["record_sha256"] = np.full(rows, core.sha256, dtype=object)
    columns["version"] = np.full(rows, _kov.__version__, dtype=object)
    return _frame(columns, units, core)


def csv_frame(text, core):
    """A CSV table of kov as a DataFrame, the units of its heads
    ("amplitude (mm)") in attrs["units"]."""
    import pandas as pd
    frame = pd.read_csv(io.StringIO(text), keep_default_na=False, na_values=[""])
    names, units = [], {}
    for head in frame.columns:
        match = _HEAD_UNIT.match(head)
        name = match.group(1) if match else head
        if match:
            units[name] = match.group(2)
        names.append(name)
    frame.columns = names
    for name in frame.columns:
        # The texts Infinity, -Infinity and NaN stand for floats.
        if frame[name].dtype == object:
            try:
                frame[name] = frame[name].astype(float)
            except ValueError:
                pass
    frame.attrs["units"] = units
    frame.attrs["x_unit"] = core.x_unit
    frame.attrs["y_unit"] = core.y_unit
    return frame


def protocol_frame(core):
    import pandas as pd
    cycle, amplitude, level, no_level, roles = core.protocol_table()
    return _frame({"cycle": cycle, "amplitude": amplitude, "level": pd.arrays.IntegerArray(level, no_level),
                   "role": np.array(roles, dtype=object)}, {"amplitude": core.x_unit}, core)


def envelope(core, document):
    sides = {}
    for side in ("positive", "negative", "average"):
        values = dict(document["envelope"][side])
        values["points"] = core.envelope_points(side)
        sides[side] = values
    return sides
