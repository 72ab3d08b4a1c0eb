#!/usr/bin/env python3
"""Times unchanged re-runs of tandrel-cli with 20 exclude patterns against the same without.

    bench/filters.py --cli build-bench/src/cli/tandrel-cli [--files 20000] [--runs 5]
                     [--base /dev/shm]

Makes the benchmark tree (20,000 files of 0 to 16 KiB in about 330 directories), copies it
once into two destinations, then times unchanged re-runs with --delete: one destination with
no patterns, the other with 20 patterns none of which matches a name of the tree (so both runs
do the same work, and the difference is the cost of matching every name against 20 patterns).
The two take turns, the order changing run by run, three re-runs per round. Each destination is
checked with `diff -r` at the end. Prints the medians of the elapsed time and of the CPU time
(user + system, both threads) and their ratios (patterns / none); on a machine that other work
shares, the CPU time is the steadier of the two.
"""
import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from mirror_vs_rsync import make_tree, timed  # noqa: E402


def cpu_timed(cmd):
    """Elapsed and CPU seconds of one run of `cmd`."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    elapsed = timed(cmd)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return elapsed, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)

# Patterns of the kinds people write, none matching "fileNNNNNN.dat" or "dirNNNNN".
PATTERNS = [
    "*.tmp", "*.o", "node_modules/", "/build/", "**/cache/", "*.py[co]", "*~", "__pycache__/",
    "*.swp", "Thumbs.db", "*.bak", "target/", "/dist/", "*.log", "/out/**", "*.class",
    "core.[0-9]*", "*.part", "file??????.dat.orig", "dir*/tmp/",
]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--files", type=int, default=20000)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--base", default="/dev/shm")
    args = ap.parse_args()
    excludes = []
    for p in PATTERNS:
        excludes += ["--exclude", p]
    cases = {"none": [], "20 patterns": excludes}
    work = tempfile.mkdtemp(prefix="tandrel-filters-", dir=args.base)
    try:
        src = os.path.join(work, "src")
        os.mkdir(src)
        make_tree(src, args.files, 1)
        dests = {}
        for c in cases:
            dests[c] = os.path.join(work, "dst-%d" % len(dests))
            os.mkdir(dests[c])
            timed([args.cli, "mirror", src, dests[c], "--delete"])
        res = {c: [] for c in cases}
        for run in range(args.runs * 3):
            order = list(cases) if run % 2 == 0 else list(reversed(cases))
            for c in order:
                res[c].append(cpu_timed([args.cli, "mirror", src, dests[c], "--delete"] + cases[c]))
        for c in cases:
            if subprocess.run(["diff", "-r", src, dests[c]], capture_output=True).returncode:
                sys.exit(c + ": the destination differs from the source")
        print("%d files on %s, %d re-runs each" % (args.files, args.base, args.runs * 3))
        print("| case | elapsed | ratio | CPU | ratio |")
        print("|---|---|---|---|---|")
        base = [statistics.median(r[i] for r in res["none"]) for i in (0, 1)]
        for c in cases:
            m = [statistics.median(r[i] for r in res[c]) for i in (0, 1)]
            print("| unchanged, %s | %.3f s | %.3f | %.3f s | %.3f |"
                  % (c, m[0], m[0] / base[0], m[1], m[1] / base[1]))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
