"""Analysis.plot: the loop drawn with matplotlib."""

import numpy as np


def _pyplot():
    try:
        import matplotlib.pyplot as plt
    except ImportError as error:
        raise ImportError("kov.Analysis.plot needs matplotlib: install it (Debian: apt install python3-matplotlib, "
                          "or pip install matplotlib)") from error
    return plt


def eeep_curve(side):
    """The EEEP curve of an envelope side as X and Y arrays: from (0, 0) to
    the yield point, then at the yield load to the ultimate displacement;
    None where the side has none."""
    if side.get("yield_load") is None:
        return None
    return (np.array([0.0, side["yield_disp"], side["ultimate_disp"]]),
            np.array([0.0, side["yield_load"], side["yield_load"]]))


def plot(analysis, ax=None):
    plt = _pyplot()
    if ax is None:
        _, ax = plt.subplots()
    x, y = analysis.x, analysis.y
    ax.plot(x, y, color="0.3", linewidth=0.8, label="loop")
    cycles = analysis.cycles
    if len(cycles):
        ends = cycles["end_step"].to_numpy(dtype=np.int64) - 1
        ends = ends[(ends >= 0) & (ends < len(x))]
        ax.plot(x[ends], y[ends], "o", color="tab:red", markersize=3, label="cycle ends")
        for k, colour in ((1, "tab:blue"), (2, "tab:green")):
            has = cycles[f"peak{k}_step"].to_numpy() > 0
            ax.plot(cycles[f"peak{k}_x"][has], cycles[f"peak{k}_y"][has], "s", color=colour, markersize=3,
                    label=f"peaks {k}")
    for name, colour in (("positive", "tab:orange"), ("negative", "tab:purple")):
        side = analysis.envelope[name]
        points = side["points"]
        if len(points) > 1:
            ax.plot(points[:, 0], points[:, 1], color=colour, linewidth=1.2, label=f"{name} envelope")
        curve = eeep_curve(side)
        if curve is not None:
            ax.plot(*curve, "--", color=colour, linewidth=1, label=f"{name} EEEP")
    core = analysis._core
    ax.set_xlabel(f"X ({core.x_unit})")
    ax.set_ylabel(f"Y ({core.y_unit})")
    ax.set_title(analysis.record.path.name)
    ax.axhline(0, color="0.8", linewidth=0.5)
    ax.axvline(0, color="0.8", linewidth=0.5)
    ax.legend(fontsize="small")
    return ax
