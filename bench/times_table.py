#!/usr/bin/env python3
"""Prints the table of a transfer benchmark from the /usr/bin/time records it left.

Usage: times_table.py DIR MIB ORDER [RATIO...]
DIR holds one file per case, one line "wall user system maxrss_kib" per round. ORDER names the
cases to print, comma-separated; a name ending in "_resume" moved half of MIB. Each RATIO is
"a/b" and prints the median and range of a's wall and CPU over b's, round by round.
"""
import os
import statistics
import sys

d, mib, order = sys.argv[1], int(sys.argv[2]), sys.argv[3].split(",")
runs = {}
for name in os.listdir(d):
    rows = [list(map(float, l.split())) for l in open(os.path.join(d, name)) if l.strip()]
    runs[name] = {"wall": [r[0] for r in rows], "cpu": [r[1] + r[2] for r in rows],
                  "rss": [r[3] / 1024 for r in rows]}


def cell(v):
    return f"{statistics.median(v):7.2f} ({min(v):.2f}-{max(v):.2f})"


print(f"{'':20} {'wall s':>22} {'CPU s':>22} {'peak RSS MiB':>24} {'MB/s':>7}")
for name in [n for n in order if n in runs]:
    r = runs[name]
    size = mib * 1048576 / (2 if name.endswith("_resume") else 1)
    print(f"{name:20} {cell(r['wall'])} {cell(r['cpu'])} {cell(r['rss'])}"
          f" {size / statistics.median(r['wall']) / 1e6:7.0f}")
print()
for pair in sys.argv[4:]:
    a, b = pair.split("/")
    if a not in runs or b not in runs:
        continue
    for key in ("wall", "cpu"):
        x = [p / q for p, q in zip(runs[a][key], runs[b][key]) if q > 0]
        print(f"{a}/{b} {key}: {statistics.median(x):.2f} ({min(x):.2f}-{max(x):.2f})")
