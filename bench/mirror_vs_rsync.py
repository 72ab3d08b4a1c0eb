#!/usr/bin/env python3
"""Times `tandrel-cli mirror --delete` against `rsync -a --delete` on one generated tree.

Three cases: first copy into an empty destination, an unchanged re-run, and a re-run after 1%
of the files changed. The two tools run alternately, run by run, each on its own destination,
and the medians are reported with their ratio. Use a file system made for the purpose (tmpfs
by default): this machine's root file system slows file creation right after mass deletions.

    bench/mirror_vs_rsync.py --cli build/src/cli/tandrel-cli [--files 20000] [--runs 5]
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def make_tree(root, files, seed):
    rnd = random.Random(seed)
    dirs = [root]
    made = 0
    while made < files:
        parent = rnd.choice(dirs)
        if len(dirs) < files // 60 and rnd.random() < 0.02:
            d = os.path.join(parent, "dir%05d" % len(dirs))
            os.mkdir(d)
            dirs.append(d)
            continue
        size = int(rnd.expovariate(1 / 8192))
        with open(os.path.join(parent, "file%06d.dat" % made), "wb") as f:
            f.write(rnd.randbytes(size))
        made += 1
    return dirs


def all_files(root):
    out = []
    for d, _, names in os.walk(root):
        out.extend(os.path.join(d, n) for n in names)
    return sorted(out)


def timed(cmd):
    start = time.perf_counter()
    r = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if r.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (r.returncode, " ".join(cmd), r.stderr.decode()))
    return elapsed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--files", type=int, default=20000)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--base", default="/dev/shm")
    args = ap.parse_args()

    work = tempfile.mkdtemp(prefix="tandrel-bench-", dir=args.base)
    try:
        src = os.path.join(work, "src")
        os.mkdir(src)
        make_tree(src, args.files, 1)
        files = all_files(src)
        tools = {
            "tandrel": lambda d: [args.cli, "mirror", src, d, "--delete"],
            "rsync": lambda d: ["rsync", "-a", "--delete", src + "/", d + "/"],
        }
        results = {(t, c): [] for t in tools for c in ("first", "unchanged", "1% changed")}
        rnd = random.Random(2)
        for run in range(args.runs):
            order = list(tools) if run % 2 == 0 else list(reversed(tools))
            dests = {}
            for tool in order:
                d = os.path.join(work, "dst-" + tool)
                shutil.rmtree(d, ignore_errors=True)
                os.mkdir(d)
                dests[tool] = d
                results[(tool, "first")].append(timed(tools[tool](d)))
            for tool in order:
                results[(tool, "unchanged")].append(timed(tools[tool](dests[tool])))
            # Change 1% of the files: new contents and a later time.
            for path in rnd.sample(files, max(1, len(files) // 100)):
                with open(path, "ab") as f:
                    f.write(b"changed %d\n" % run)
                st = os.stat(path)
                os.utime(path, ns=(st.st_atime_ns, st.st_mtime_ns + 10**9 * (run + 2)))
            for tool in order:
                results[(tool, "1% changed")].append(timed(tools[tool](dests[tool])))
            for tool in order:
                r = subprocess.run(["diff", "-r", src, dests[tool]], capture_output=True)
                if r.returncode != 0:
                    sys.exit("%s left a destination that differs from the source" % tool)

        print("%d files, %d runs each, medians in seconds (on %s)" %
              (len(files), args.runs, args.base))
        print("| case | tandrel | rsync | tandrel / rsync |")
        print("|---|---|---|---|")
        for case in ("first", "unchanged", "1% changed"):
            a = statistics.median(results[("tandrel", case)])
            b = statistics.median(results[("rsync", case)])
            print("| %s | %.3f | %.3f | %.2f |" % (case, a, b, a / b))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
