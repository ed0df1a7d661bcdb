#!/usr/bin/python3
"""Workbooks side by side, in one run: kov-batch --json on an .xlsx of
ROWS rows x 4 columns (33,000 by default: a three-hour test sampled at 3 Hz)
against pandas.read_excel (openpyxl, Debian's python3-openpyxl) reading the
same two columns; then kov-batch's peak resident memory on an .xlsx of
BIG rows (1,000,000 by default). The workbooks are written here as a
spreadsheet program writes them (a names and a units row as shared strings,
the numbers with 17 significant digits, each cell with its reference).

Goals: kov-batch --json under 0.2 s and at least 5 times faster than
read_excel on the 33,000 rows; on the big workbook at most 8 bytes a row
plus 16 MB, as for a text record.

Usage: workbook.py KOV_BATCH [ROWS] [BIG] [--runs N]"""
import argparse
import math
import os
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

MAIN = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
RELS = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
PACKAGE = 'http://schemas.openxmlformats.org/package/2006/relationships'


def sheet_rows(rows):
    """The rows' XML: time, displacement, load and a fourth channel."""
    head = ('<row r="1" spans="1:4"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c>'
            '<c r="C1" t="s"><v>2</v></c><c r="D1" t="s"><v>3</v></c></row>'
            '<row r="2" spans="1:4"><c r="A2" t="s"><v>4</v></c><c r="B2" t="s"><v>5</v></c>'
            '<c r="C2" t="s"><v>6</v></c><c r="D2" t="s"><v>7</v></c></row>')
    yield head
    period = rows / 35.0
    for i in range(rows):
        phase = 2.0 * math.pi * i / period
        amp = 1.0 + 0.2 * i / period
        values = (i / 3.0, amp * 10.0 * math.sin(phase), amp * 150.0 * math.sin(phase + 0.4) + 1.2 * math.sin(i * 2.3),
                  12.0 * math.cos(phase))
        r = i + 3
        yield (f'<row r="{r}" spans="1:4"><c r="A{r}"><v>{values[0]!r}</v></c><c r="B{r}"><v>{values[1]!r}</v></c>'
               f'<c r="C{r}"><v>{values[2]!r}</v></c><c r="D{r}"><v>{values[3]!r}</v></c></row>')


def write_workbook(path, rows):
    strings = ['Time', 'Disp', 'Force', 'Strain', 's', 'mm', 'kN', 'με']
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('[Content_Types].xml',
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                   '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Override PartName="/xl/workbook.xml" '
                   'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
                   '<Override PartName="/xl/worksheets/sheet1.xml" '
                   'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
                   '<Override PartName="/xl/sharedStrings.xml" '
                   'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
                   '</Types>')
        z.writestr('_rels/.rels', f'<Relationships xmlns="{PACKAGE}"><Relationship Id="rId1" '
                   f'Type="{RELS}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
        z.writestr('xl/workbook.xml', f'<workbook xmlns="{MAIN}" xmlns:r="{RELS}"><sheets>'
                   '<sheet name="Test" sheetId="1" r:id="rId1"/></sheets></workbook>')
        z.writestr('xl/_rels/workbook.xml.rels', f'<Relationships xmlns="{PACKAGE}">'
                   f'<Relationship Id="rId1" Type="{RELS}/worksheet" Target="worksheets/sheet1.xml"/>'
                   f'<Relationship Id="rId2" Type="{RELS}/sharedStrings" Target="sharedStrings.xml"/></Relationships>')
        z.writestr('xl/sharedStrings.xml', f'<sst xmlns="{MAIN}" count="8" uniqueCount="8">' +
                   ''.join(f'<si><t>{s}</t></si>' for s in strings) + '</sst>')
        with z.open('xl/worksheets/sheet1.xml', 'w', force_zip64=True) as sheet:
            sheet.write(f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<worksheet xmlns="{MAIN}">'
                        f'<dimension ref="A1:D{rows + 2}"/><sheetData>'.encode())
            chunk = []
            for row in sheet_rows(rows):
                chunk.append(row)
                if len(chunk) == 10000:
                    sheet.write(''.join(chunk).encode())
                    chunk = []
            sheet.write((''.join(chunk) + '</sheetData></worksheet>').encode())


def run_batch(batch, path):
    """Seconds from start to exit and peak resident memory in bytes."""
    start = time.perf_counter()
    run = subprocess.run(['/usr/bin/time', '-f', '%M', batch, '--x-column', 'disp', '--y-column', 'force', '--json',
                          path], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - start
    if run.returncode != 0:
        sys.exit(f'kov-batch exited with {run.returncode}: {run.stderr}')
    return seconds, int(run.stderr.split()[-1]) * 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('batch')
    parser.add_argument('rows', nargs='?', type=int, default=33_000)
    parser.add_argument('big', nargs='?', type=int, default=1_000_000)
    parser.add_argument('--runs', type=int, default=5)
    args = parser.parse_args()
    import pandas  # after the arguments: --help works without them
    import openpyxl

    with tempfile.TemporaryDirectory(prefix='kov-workbook-') as folder:
        path = os.path.join(folder, 'test.xlsx')
        write_workbook(path, args.rows)
        size = os.path.getsize(path)
        run_batch(args.batch, path)  # the workbook in the page cache
        # Interleaved, best of the runs: the machine may be busy.
        batch, excel = [], []
        for _ in range(args.runs):
            batch.append(run_batch(args.batch, path)[0])
            start = time.perf_counter()
            frame = pandas.read_excel(path, sheet_name=0, header=0, skiprows=[1], usecols=[1, 2], engine='openpyxl')
            excel.append(time.perf_counter() - start)
        if len(frame) != args.rows:
            sys.exit(f'read_excel read {len(frame)} rows, not {args.rows}')
        seconds, read_excel = min(batch), min(excel)
        print(f'workbook: {args.rows} rows x 4 columns, {size / 1e6:.2f} MB; best of {args.runs} interleaved runs')
        print(f'kov-batch --json, start to exit: {seconds:.3f} s (goal under 0.2 s; median '
              f'{statistics.median(batch):.3f} s)')
        print(f'pandas {pandas.__version__} read_excel (openpyxl {openpyxl.__version__}), two columns: '
              f'{read_excel:.3f} s, kov-batch {read_excel / seconds:.1f} times faster (goal 5)')

        big = os.path.join(folder, 'big.xlsx')
        write_workbook(big, args.big)
        os.remove(path)
        seconds, peak = run_batch(args.batch, big)
        print(f'workbook: {args.big} rows x 4 columns, {os.path.getsize(big) / 1e6:.1f} MB: kov-batch --json '
              f'{seconds:.2f} s, peak resident memory {peak / 2**20:.1f} MiB; goal 8 B x rows + 16 MB = '
              f'{(8 * args.big + 16 * 2**20) / 2**20:.1f} MiB')


if __name__ == '__main__':
    main()
