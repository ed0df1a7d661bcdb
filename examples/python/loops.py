#!/usr/bin/python3
"""Reads an example record, analyses it, prints its cycle table, plots its
loop, and overlays the envelopes of two records.

    python3 loops.py [FOLDER]     # FOLDER: where the pictures go (default: here)

Run it from the source tree (with PYTHONPATH=build/python) or with the
package python3-kov installed; it needs matplotlib (python3-matplotlib)."""
import pathlib
import sys

import matplotlib
matplotlib.use("Agg")  # pictures to files; drop this line for windows
import matplotlib.pyplot as plt

import kov

examples = pathlib.Path(__file__).resolve().parent.parent
out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")

# One record: read, analysed, its table printed and its loop drawn.
column = kov.analyse(examples / "rc-column-soesianawati1986.prn", x=2, y=3, x_coef=1000, y_unit="kN", height=1600)
print(column)
print(column.cycles[["cycle", "peak1_x", "peak1_y", "energy", "damping", "level", "role"]].to_string(index=False))
print("acceptance:", "pass" if column.acceptance["pass"] else column.summary["acceptance"])
column.plot().figure.savefig(out / "rc-column-loop.png", dpi=120)

# Two records: their envelopes, each with its EEEP curve, in one chart.
ufp = kov.analyse(examples / "ufp-damper-ganey2015.prn", skip_lines=0, y_unit="kN")
slit = kov.analyse(examples / "slit-damper-chan-albermani.prn", skip_lines=0, y_unit="kN")
fig, ax = plt.subplots()
for analysis, colour in ((ufp, "tab:blue"), (slit, "tab:red")):
    name = analysis.record.path.stem
    for side in ("positive", "negative"):
        envelope = analysis.envelope[side]
        points = envelope["points"]
        ax.plot(points[:, 0], points[:, 1], "o-", color=colour, markersize=3,
                label=f"{name}" if side == "positive" else None)
        if envelope["yield_load"] is not None:
            ax.plot([0, envelope["yield_disp"], envelope["ultimate_disp"]],
                    [0, envelope["yield_load"], envelope["yield_load"]], "--", color=colour, linewidth=1)
ax.set_xlabel("X (mm)")
ax.set_ylabel("Y (kN)")
ax.legend()
fig.savefig(out / "envelopes.png", dpi=120)
print("pictures:", out / "rc-column-loop.png", out / "envelopes.png")
