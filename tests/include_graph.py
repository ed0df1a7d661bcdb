#!/usr/bin/env python3
"""Checks the include graph of the program's folders: every
#include "folder/file.h" must point down the layers, and no two modules (a
.h/.cpp pair) may reach each other through their includes.

    include_graph.py SOURCE_DIR

The layers, lowest first: core/state, core/reader, core/analysis, then
core/output and core/drawing (siblings: neither includes the other), report,
pictures, and on top window, batch and python (siblings). A folder includes
its own files and those of lower layers; batch includes the core, the report
and of pictures only the picture module's entry, which it loads at run time;
python (the Python module) the core and the report.
Prints every fault and exits 1 when there is one.
"""

import re
import sys
from pathlib import Path

RANKS = {
    "core/state": 0,
    "core/reader": 1,
    "core/analysis": 2,
    "core/output": 3,
    "core/drawing": 3,
    "report": 4,
    "pictures": 5,
    "window": 6,
    "batch": 6,
    "python": 6,
}

# Arrows that break the rule for now, each with the reason it is still there.
ALLOWED = set()

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer(path):
    """The layer folder of a path relative to the source folder, or None."""
    parts = path.split("/")
    folder = "/".join(parts[:2]) if parts[0] == "core" else parts[0]
    return folder if folder in RANKS else None


def allowed(source, target):
    src, dst = layer(source), layer(target)
    if dst is None or src == dst:
        return True
    if (source, target) in ALLOWED:
        return True
    if src == "batch":
        return dst.startswith("core/") or dst == "report" or target == "pictures/module.h"
    if src == "python":
        return dst.startswith("core/") or dst == "report"
    return RANKS[dst] < RANKS[src]


def circles(edges):
    """The strongly connected components of more than one module (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(edges.get(node, ())):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            component = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.append(member)
                if member == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    sys.setrecursionlimit(10000)
    for node in sorted(edges):
        if node not in index:
            visit(node)
    return found


def main():
    top = Path(sys.argv[1])
    faults = []
    edges = {}
    for file in sorted(top.glob("**/*")):
        rel = file.relative_to(top).as_posix()
        if file.suffix not in (".h", ".cpp") or layer(rel) is None:
            continue
        module = rel.rsplit(".", 1)[0]
        for target in INCLUDE.findall(file.read_text(encoding="utf-8", errors="replace")):
            if layer(target) is None:
                continue
            if not (top / target).is_file():
                faults.append(f"{rel}: includes {target}, which does not exist")
                continue
            if not allowed(rel, target):
                faults.append(f"{rel}: includes {target}, a layer it may not use")
            other = target.rsplit(".", 1)[0]
            if other != module:
                edges.setdefault(module, set()).add(other)
    for component in circles(edges):
        faults.append("circle: " + " <-> ".join(component))
    for fault in faults:
        print(fault, file=sys.stderr)
    if not faults:
        print(f"include graph: {sum(len(v) for v in edges.values())} arrows between "
              f"{len(edges)} modules, all downward, no circle")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
