#!/usr/bin/env python3
"""Times two builds of tandrel-cli against each other on one generated tree.

For a change to the engine: build the old and the new tandrel-cli (same build type) and run

    bench/compare_builds.py --old OLD/tandrel-cli --new NEW/tandrel-cli [--base /dev/shm]

Two cases, both with --delete: the first copy into an empty destination, and unchanged
re-runs (three per round). The two builds run alternately, run by run, each on its own
destination, and every destination is checked with `diff -r`. Medians and their ratio
(new / old) are printed as a table.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from mirror_vs_rsync import make_tree, timed  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--old", required=True)
    ap.add_argument("--new", required=True)
    ap.add_argument("--files", type=int, default=20000)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--base", default="/dev/shm")
    args = ap.parse_args()
    tools = {"old": args.old, "new": args.new}
    work = tempfile.mkdtemp(prefix="tandrel-compare-", dir=args.base)
    try:
        src = os.path.join(work, "src")
        os.mkdir(src)
        make_tree(src, args.files, 1)
        res = {(t, c): [] for t in tools for c in ("first", "unchanged")}
        for run in range(args.runs):
            order = list(tools) if run % 2 == 0 else list(reversed(tools))
            dests = {}
            for t in order:
                d = os.path.join(work, "dst-" + t)
                shutil.rmtree(d, ignore_errors=True)
                os.mkdir(d)
                dests[t] = d
                res[(t, "first")].append(timed([tools[t], "mirror", src, d, "--delete"]))
            for rep in range(3):
                for t in order if rep % 2 == 0 else list(reversed(order)):
                    res[(t, "unchanged")].append(
                        timed([tools[t], "mirror", src, dests[t], "--delete"]))
            for t in order:
                if subprocess.run(["diff", "-r", src, dests[t]],
                                  capture_output=True).returncode != 0:
                    sys.exit(t + ": the destination differs from the source")
        print("%d files on %s, %d rounds" % (args.files, args.base, args.runs))
        print("| case | old | new | new / old |")
        print("|---|---|---|---|")
        for c in ("first", "unchanged"):
            a = statistics.median(res[("old", c)])
            b = statistics.median(res[("new", c)])
            print("| %s | %.3f s | %.3f s | %.2f |" % (c, a, b, b / a))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
