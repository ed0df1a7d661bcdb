#!/usr/bin/python3
"""A long campaign through kov-batch: RECORDS records of ROWS rows (35 cycles
each, bench/make_record.py's long record with each record's loads and
displacements scaled a little, so that the statistics have spread), in four
groups when kov-batch reads a campaign file (--campaign), else given on the
command line.

Times, interleaved and best of RUNS, on the same records:
  compare   --json --report r.html --compare c.csv
  plain     --json --report r.html
and prints the ratio, the main page's size, the size of its comparison
section and the number of record pages beside it. The goal for 1,000
records of 33,000 rows: compare at most 3 s on two cores and 1.2 x plain,
the main page at most 2 MB. The machine must be idle for figures that mean
anything.
Each figure is the wall time and, in brackets, the CPU time (user and
system, all threads). --program NAME=PATH (again for more) times other
kov-batch builds in the same interleaved runs, e.g. a build before a change.
Usage: bench/campaign.py [--build DIR] [--records 1000] [--rows 33000]
                         [--runs 3] [--folder DIR (kept; default a scratch one)]
                         [--program NAME=PATH ...]
"""
import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import make_record  # noqa: E402


def write_records(folder, records, rows):
    base = make_record.record(3, rows).split("\r\n")
    names = []
    for i in range(records):
        name = "s%04d.prn" % (i + 1)
        names.append(name)
        path = os.path.join(folder, name)
        if os.path.exists(path):
            continue
        # Each record scaled: loads by 0.8..1.2, displacements by 0.9..1.1.
        fy = 0.8 + 0.4 * ((i * 37) % 101) / 100.0
        fx = 0.9 + 0.2 * ((i * 53) % 97) / 96.0
        lines = base[:5]
        for line in base[5:]:
            if not line:
                continue
            step, x, y = line.split(" ")
            lines.append("%s %.4f %.3f" % (step, float(x) * fx, float(y) * fy))
        with open(path, "w", newline="") as out:
            out.write("\r\n".join(lines) + "\r\n")
    return names


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(here, "..", "build"))
    parser.add_argument("--records", type=int, default=1000)
    parser.add_argument("--rows", type=int, default=33000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--folder")
    parser.add_argument("--program", action="append", default=[])
    args = parser.parse_args()
    exe = os.path.abspath(os.path.join(args.build, "batch", "kov-batch"))
    programs = {"": exe}
    for given in args.program:
        name, _, path = given.partition("=")
        programs[name + " "] = os.path.abspath(path)
    folder = args.folder or tempfile.mkdtemp(prefix="kov-campaign-")
    os.makedirs(folder, exist_ok=True)
    try:
        names = write_records(folder, args.records, args.rows)
        shown = subprocess.run([exe, "--help"], capture_output=True, text=True, check=True).stdout
        common = [exe, "--quiet", "--skip-lines", "5", "--x-column", "2", "--y-column", "3", "--y-unit", "kN",
                  "--json", "--report", "r.html"]
        if "--campaign" in shown:
            with open(os.path.join(folder, "campaign.csv"), "w") as f:
                f.write("record,group\n")
                for i, name in enumerate(names):
                    f.write("%s,%s\n" % (name, "ABCD"[i % 4]))
            given = ["--campaign", "campaign.csv", "--reference-group", "A"]
        else:
            given = names
        calls = {}
        for label, program in programs.items():
            calls[label + "compare"] = [program] + common[1:] + ["--compare", "c.csv"] + given
            calls[label + "plain"] = [program] + common[1:] + given
        best, cpu = {}, {}
        for _ in range(args.runs):
            for name, argv in calls.items():
                used = resource.getrusage(resource.RUSAGE_CHILDREN)
                start = time.perf_counter()
                subprocess.run(argv, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
                took = time.perf_counter() - start
                after = resource.getrusage(resource.RUSAGE_CHILDREN)
                spent = after.ru_utime - used.ru_utime + after.ru_stime - used.ru_stime
                best[name] = min(best.get(name, took), took)
                cpu[name] = min(cpu.get(name, spent), spent)
        page = open(os.path.join(folder, "r.html"), encoding="utf-8").read()
        at = page.find('<section id="comparison">')
        comparison = page[at:page.find("</section>", at)] if at >= 0 else ""
        pages = os.path.join(folder, "r-records")
        count = len(os.listdir(pages)) if os.path.isdir(pages) else 0
        print("%d records of %d rows, best of %d, interleaved" % (args.records, args.rows, args.runs))
        for label in programs:
            for kind in ("compare", "plain"):
                name = label + kind
                print("  %-16s %.2f s (CPU %.2f s)" % (name, best[name], cpu[name]))
            print("  %-16s %.2f" % (label + "ratio", best[label + "compare"] / best[label + "plain"]))
        print("  page     %.2f MB (comparison %.2f MB), %d record pages" %
              (len(page.encode()) / 1e6, len(comparison.encode()) / 1e6, count))
    finally:
        if not args.folder:
            shutil.rmtree(folder)


if __name__ == "__main__":
    main()
