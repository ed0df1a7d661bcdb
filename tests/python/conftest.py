"""What the tests of the Python module share: kov-batch of the same build,
the example records, and the conversion of kov-batch's arguments into the
module's keywords."""

import datetime
import os
import pathlib
import re
import subprocess

import pytest

import kov

KOV_BATCH = os.environ["KOV_BATCH"]
EXAMPLES = pathlib.Path(os.environ["KOV_EXAMPLES"])
TEST_DATA = pathlib.Path(os.environ["KOV_TEST_DATA"])

_OPTIONS = {option: (name, use) for name, option, use, _ in kov.KEYWORDS}


def keywords(args):
    """kov-batch's arguments as the module's keywords, each value typed as a
    Python caller gives it."""
    result, i = {}, 0
    while i < len(args):
        name, use = _OPTIONS[args[i]]
        if name in ("decimal_comma", "window_limits", "window"):
            result[name], i = True, i + 1
            continue
        text, i = args[i + 1], i + 2
        if name in ("x", "y", "skip_lines", "sheet"):
            value = int(text) if re.fullmatch(r"[+-]?\d+", text) else text
        elif name in ("x_unit", "y_unit", "peak_rule", "envelope", "steps", "rows") or text in ("first",) or (
                name == "deadband" and text.endswith("%")):
            value = text
        else:
            value = float(text)
        result[name] = value
    return result


class BatchRun:
    def __init__(self, run, folder, record):
        self.status = run.returncode
        self.stderr = run.stderr
        self.folder = folder
        self.stem = pathlib.Path(record).name[:-4]

    def file(self, ending):
        return (self.folder / (self.stem + ending)).read_bytes()

    def written_at(self):
        """The date and time line 2 of the results file gives."""
        line = self.file("-kov.prn").split(b"\r\n")[1].decode("utf-8", "surrogateescape")
        return datetime.datetime.strptime(line.rsplit(", at ", 1)[1], "%m-%d-%Y, %H:%M:%S")


def run_batch(record, args, *extra):
    """kov-batch on record (an absolute path) with args, writing beside it."""
    run = subprocess.run([KOV_BATCH, *extra, *args, "--", str(record)], capture_output=True,
                         text=True, errors="surrogateescape")
    return BatchRun(run, pathlib.Path(record).parent, record)


@pytest.fixture
def copy_record(tmp_path):
    """A writable copy of a record under a name of the test's choosing."""
    def copy(source, name="record.prn"):
        target = tmp_path / name
        target.write_bytes(pathlib.Path(source).read_bytes())
        return target
    return copy
