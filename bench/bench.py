#!/usr/bin/env python3
"""Times `tandrel-cli mirror` against rsync and cp on generated trees; see bench/README.md.

Normally started by bench/run.sh, which builds tandrel-cli and installs rsync first:

    bench/bench.py --cli build-bench/src/cli/tandrel-cli [--quick] [--runs N]
                   [--shapes tree,flat,large,sparse] [--volumes ext4,tmpfs]
                   [--memory] [--memory-files N] [--window build-bench/bench/ui_run/bench_ui_run]
                   [--no-cold] [--no-rclone]

As root it makes a fresh ext4 volume in a loop image and a tmpfs, and removes both when it
ends, whichever way it ends; otherwise it works in a temporary directory and says so. Every
tool writes to a destination of its own; the tools take turns, in an order that changes run by
run, and `sync` runs (untimed) before each timed command so that no tool pays for what the one
before it left unwritten. Every destination is compared with the source (names, kinds, sizes,
times to the nanosecond, contents) after every case. Medians of the elapsed time and of the
CPU time (user + system of the command and its children), peak resident memory of tandrel-cli
and the ratios of tandrel to each peer are printed as Markdown tables, with the load average
before and after each shape.

Peers: rsync, cp, `find` (the bare walk) and, when installed, rclone (`rclone sync`, with its
defaults and with --checkers set to the core count). As root, the ext4 volume also gets the
cold-cache case: the unchanged re-run after `sync; echo 3 > /proc/sys/vm/drop_caches`, before
each tool. With --window, a run started from the Quick page of the whole window (offscreen,
bench_ui_run, timed from GO to the run's end) takes its turn beside tandrel-cli.
"""
import argparse
import filecmp
import os
import random
import resource
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

KIB = 1024
MIB = 1024 * KIB
GIB = 1024 * MIB


# ---------------------------------------------------------------------------------------------
# Volumes


class Volumes:
    """The places the trees are built in: (name, path, what it is)."""

    def __init__(self, wanted, image_size):
        self.wanted = wanted
        self.image_size = image_size
        self.places = []
        self._mounts = []
        self._files = []
        self._dirs = []

    def __enter__(self):
        if os.geteuid() != 0:
            d = tempfile.mkdtemp(prefix="tandrel-bench-")
            self._dirs.append(d)
            self.places.append(("tmpdir", d, "a temporary directory (not root: no loop image, "
                                "no tmpfs)"))
            return self
        top = tempfile.mkdtemp(prefix="tandrel-bench-", dir="/var/tmp")
        self._dirs.append(top)
        for name in self.wanted:
            mnt = os.path.join(top, name)
            os.mkdir(mnt)
            self._dirs.append(mnt)
            try:
                if name == "ext4":
                    img = os.path.join(top, "ext4.img")
                    self._files.append(img)
                    run(["truncate", "-s", str(self.image_size), img])
                    run(["mkfs.ext4", "-q", "-F", img])
                    run(["mount", "-o", "loop", img, mnt])
                    what = "fresh journaled ext4 in a %d GiB loop image" % (self.image_size // GIB)
                else:
                    run(["mount", "-t", "tmpfs", "-o", "size=%d" % self.image_size, "tmpfs", mnt])
                    what = "tmpfs"
                self._mounts.append(mnt)
                self.places.append((name, mnt, what))
            except subprocess.CalledProcessError as e:
                print("could not make the %s volume (%s); using %s as it is" % (name, e, mnt))
                self.places.append((name + "-fallback", mnt, "a directory under /var/tmp "
                                    "(the %s volume could not be made)" % name))
        return self

    def __exit__(self, *exc):
        for mnt in reversed(self._mounts):
            if subprocess.run(["umount", mnt], stderr=subprocess.DEVNULL).returncode != 0:
                subprocess.run(["umount", "-l", mnt], stderr=subprocess.DEVNULL)
        for f in self._files:
            try:
                os.unlink(f)
            except OSError:
                pass
        for d in reversed(self._dirs):
            shutil.rmtree(d, ignore_errors=True)
        return False


def run(cmd, **kw):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, **kw)


def on_signal(signum, _frame):
    raise SystemExit("stopped by signal %d" % signum)


# ---------------------------------------------------------------------------------------------
# Trees


def write_file(path, size, rnd):
    with open(path, "wb") as f:
        if size:
            f.write(rnd.randbytes(size))


def make_tree(root, shape, quick, rnd):
    """Builds the source; returns (file paths, bytes of data)."""
    os.mkdir(root)
    files = []
    if shape in ("tree", "flat"):
        count = {"tree": 20000, "flat": 30000}[shape] // (10 if quick else 1)
        dirs = [root]
        if shape == "tree":
            ndirs = 200 // (10 if quick else 1)
            for i in range(ndirs - 1):
                # Two levels: a tenth of the directories at the top, the rest below them.
                parent = root if i < ndirs // 10 else dirs[1 + i % (ndirs // 10)]
                d = os.path.join(parent, "dir%04d" % i)
                os.mkdir(d)
                dirs.append(d)
        for i in range(count):
            path = os.path.join(dirs[i % len(dirs)], "file%06d.dat" % i)
            write_file(path, rnd.randint(0, 16 * KIB), rnd)
            files.append(path)
    elif shape == "large":
        size = (8 if quick else 64) * MIB
        for i in range(8):
            path = os.path.join(root, "large%d.bin" % i)
            write_file(path, size, rnd)
            files.append(path)
    elif shape == "sparse":
        size = (1 if quick else 8) * GIB
        path = os.path.join(root, "disk.img")
        with open(path, "wb") as f:
            f.truncate(size)
            for k in range(16):  # 1 MiB of data in 16 pieces spread over the file
                f.seek(k * (size // 16))
                f.write(rnd.randbytes(64 * KIB))
        files.append(path)
    total = sum(os.lstat(p).st_size for p in files)
    return files, total


def data_regions(fd, size):
    out = []
    pos = 0
    while pos < size:
        try:
            data = os.lseek(fd, pos, os.SEEK_DATA)
        except OSError:
            break
        hole = os.lseek(fd, data, os.SEEK_HOLE)
        out.append((data, hole))
        pos = hole
    return out


def same_contents(a, b, size):
    if size < 64 * MIB:
        return filecmp.cmp(a, b, shallow=False)
    # Large or sparse: read the data regions of either file only (holes read as zeros).
    with open(a, "rb") as fa, open(b, "rb") as fb:
        for start, end in sorted(set(data_regions(fa.fileno(), size) +
                                     data_regions(fb.fileno(), size))):
            for at in range(start, end, 8 * MIB):
                n = min(8 * MIB, end - at)
                if os.pread(fa.fileno(), n, at) != os.pread(fb.fileno(), n, at):
                    return False
    return True


def snapshot(root):
    out = {}
    for d, dirnames, names in os.walk(root):
        for n in dirnames + names:
            p = os.path.join(d, n)
            st = os.lstat(p)
            kind = "d" if os.path.isdir(p) and not os.path.islink(p) else "f"
            out[os.path.relpath(p, root)] = (kind, st.st_size if kind == "f" else 0,
                                             st.st_mtime_ns if kind == "f" else 0)
    return out


def differences(src, dst):
    """What differs between the trees, or an empty string."""
    a = snapshot(src)
    b = snapshot(dst)
    if a.keys() != b.keys():
        extra = sorted(b.keys() - a.keys())[:3]
        missing = sorted(a.keys() - b.keys())[:3]
        return "names differ (missing %s, extra %s)" % (missing, extra)
    for rel, (kind, size, mtime) in a.items():
        if b[rel] != (kind, size, mtime):
            return "%s: %s in the source, %s in the copy" % (rel, a[rel], b[rel])
        if kind == "f" and not same_contents(os.path.join(src, rel), os.path.join(dst, rel),
                                             size):
            return "%s: contents differ" % rel
    return ""


def allocated(root):
    total = 0
    for d, _, names in os.walk(root):
        for n in names:
            total += os.lstat(os.path.join(d, n)).st_blocks * 512
    return total


# ---------------------------------------------------------------------------------------------
# Timing


def children_cpu():
    u = resource.getrusage(resource.RUSAGE_CHILDREN)
    return u.ru_utime + u.ru_stime


def timed(cmds, window=False):
    """Runs the commands one after the other; (seconds, CPU seconds, peak RSS of the first in
    KiB).

    The first runs under GNU time, which reports its child's own peak: a child of this
    script would inherit the script's peak through exec. A window command (bench_ui_run)
    reports its own times, from GO to the run's end, on stdout."""
    start = time.perf_counter()
    cpu0 = children_cpu()
    peak = 0
    own = None
    for i, cmd in enumerate(cmds):
        if i == 0:
            cmd = ["/usr/bin/time", "-f", "maxrss=%M"] + cmd
        r = subprocess.run(cmd, stdout=subprocess.PIPE if window else subprocess.DEVNULL,
                           stderr=subprocess.PIPE)
        if r.returncode != 0:
            sys.exit("failed (%d): %s\n%s" % (r.returncode, " ".join(cmd), r.stderr.decode()))
        if i == 0:
            last = r.stderr.decode().strip().splitlines()[-1]
            peak = int(last.split("=")[1]) if last.startswith("maxrss=") else 0
        if window:
            fields = dict(f.split("=") for f in r.stdout.decode().split())
            own = (float(fields["elapsed"]), float(fields["cpu"]))
    seconds = time.perf_counter() - start
    cpu = children_cpu() - cpu0
    if own is not None:
        seconds, cpu = own
    return seconds, cpu, peak


def drop_caches():
    subprocess.run(["sync"])
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def load_average():
    return "%.2f %.2f %.2f" % os.getloadavg()


def tools_for(case, args, src, dests, shape, settings):
    """(tool, destination key, commands, is the window) for one case."""
    cli = args.cli
    d = dests
    deleting = case == "10% deleted"
    delete = ["--delete"] if deleting else []
    rs_delete = ["--delete"] if deleting else []
    out = [("tandrel", "tandrel", lambda: [[cli, "mirror", src, d["tandrel"]] + delete], False)]
    if shape == "sparse":
        # rsync -a writes the holes as data; cp -a keeps them (--sparse=auto).
        return out + [("cp -a", "cp", lambda: [["cp", "-a", src + "/.", d["cp"]]], False),
                      ("cp -a; sync -f", "cpsync",
                       lambda: [["cp", "-a", src + "/.", d["cpsync"]], ["sync", "-f", d["cpsync"]]],
                       False)]
    if case == "cold unchanged":
        # The disk's time, not the CPU's: each tool meets a cache emptied just before it.
        out.append(("rsync -a", "rsync", lambda: [["rsync", "-a", src + "/", d["rsync"] + "/"]],
                    False))
        if args.rclone:
            out.append(("rclone sync", "rclone",
                        lambda: [["rclone", "sync", src, d["rclone"]]], False))
        return out
    if args.window and case in ("first", "unchanged", "1% changed", "10% deleted"):
        out.append(("window", "window",
                    lambda: [[args.window, settings(), src, d["window"]] + delete], True))
    if case in ("first", "unchanged", "1% changed", "10% deleted"):
        out.append(("rsync -a", "rsync",
                    lambda: [["rsync", "-a"] + rs_delete + [src + "/", d["rsync"] + "/"]], False))
        if args.rclone:
            # rclone sync always deletes what the source no longer has.
            out.append(("rclone sync", "rclone",
                        lambda: [["rclone", "sync", src, d["rclone"]]], False))
            out.append(("rclone sync --checkers %d" % os.cpu_count(), "rclonechk",
                        lambda: [["rclone", "sync", "--checkers", str(os.cpu_count()), src,
                                  d["rclonechk"]]], False))
    if case in ("first", "1% changed"):
        out.append(("rsync -a; sync -f", "rsyncsync",
                    lambda: [["rsync", "-a", src + "/", d["rsyncsync"] + "/"],
                             ["sync", "-f", d["rsyncsync"]]], False))
    if case == "first":
        out.append(("cp -a", "cp", lambda: [["cp", "-a", src + "/.", d["cp"]]], False))
        out.append(("cp -a; sync -f", "cpsync",
                    lambda: [["cp", "-a", src + "/.", d["cpsync"]], ["sync", "-f", d["cpsync"]]],
                    False))
    if case == "unchanged":
        out.append(("cp -au", "cp", lambda: [["cp", "-au", src + "/.", d["cp"]]], False))
        out.append(("find walk", None,
                    lambda: [["find", src, d["tandrel"], "-printf", "%T@\\n"]], False))
    return out


def bench_shape(place, shape, args, rnd, results, notes, cold):
    work = tempfile.mkdtemp(prefix="run-", dir=place)
    try:
        src = os.path.join(work, "src")
        files, total = make_tree(src, shape, args.quick, rnd)
        stash = os.path.join(work, "stash")
        os.mkdir(stash)
        notes.append("%s: %d files, %.1f MiB" % (shape, len(files), total / MIB))
        keys = ["tandrel", "rsync", "rsyncsync", "cp", "cpsync", "rclone", "rclonechk", "window"]
        cases = ["first"] if shape == "sparse" else ["first", "unchanged"] + \
            (["cold unchanged"] if cold else []) + ["1% changed", "10% deleted"]
        settings_dir = tempfile.mkdtemp(prefix="tandrel-bench-settings-")
        made = [0]

        def settings():
            made[0] += 1  # a fresh settings file for each window run
            return os.path.join(settings_dir, "settings-%d.db" % made[0])

        for r in range(args.runs):
            dests = {k: os.path.join(work, "dst-" + k) for k in keys}
            for dst in dests.values():
                shutil.rmtree(dst, ignore_errors=True)
                os.mkdir(dst)
            moved = []
            for case in cases:
                if case == "1% changed":
                    for p in rnd.sample(files, max(1, len(files) // 100)):
                        with open(p, "r+b") as f:
                            f.write(rnd.randbytes(min(64, os.path.getsize(p))) or b"")
                            f.seek(0, os.SEEK_END)
                            f.write(b"changed in run %d\n" % r)
                        st = os.stat(p)
                        os.utime(p, ns=(st.st_atime_ns, st.st_mtime_ns + 10**9 * (r + 2)))
                elif case == "10% deleted":
                    for p in rnd.sample(files, max(1, len(files) // 10)):
                        target = os.path.join(stash, "%d" % len(moved))
                        os.rename(p, target)
                        moved.append((target, p))
                tools = tools_for(case, args, src, dests, shape, settings)
                k = r % len(tools)
                for tool, key, cmds, window in tools[k:] + tools[:k]:
                    if case == "cold unchanged":
                        drop_caches()
                    else:
                        subprocess.run(["sync"])
                    seconds, cpu, peak = timed(cmds(), window)
                    results.setdefault((shape, case, tool), []).append(seconds)
                    results.setdefault((shape, case, "cpu " + tool), []).append(cpu)
                    if tool == "tandrel":
                        rss = results.setdefault((shape, case, "rss"), [0])
                        rss[0] = max(rss[0], peak)
                    if key is not None and not args.no_verify:
                        why = differences(src, dests[key])
                        if why:
                            msg = "%s/%s/%s: %s" % (shape, case, tool, why)
                            if tool == "tandrel":
                                sys.exit("destination differs from the source: " + msg)
                            notes.append("peer differs: " + msg)
                    if shape == "sparse" and key is not None:
                        results.setdefault((shape, case, "alloc " + tool), []).append(
                            allocated(dests[key]))
            for target, p in moved:  # the source as it was, for the next run
                os.rename(target, p)
    finally:
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(settings_dir, ignore_errors=True)


CASES = ("first", "unchanged", "cold unchanged", "1% changed", "10% deleted")


def report(results, shapes, notes):
    for n in notes:
        print("- " + n)
    print("\n| shape | case | tool | median s | median CPU s | tandrel / tool: elapsed | CPU |")
    print("|---|---|---|---|---|---|---|")
    for shape in shapes:
        for case in CASES:
            ours = results.get((shape, case, "tandrel"))
            if not ours:
                continue
            m = statistics.median(ours)
            mc = statistics.median(results[(shape, case, "cpu tandrel")])
            rss = results.get((shape, case, "rss"), [0])[0]
            print("| %s | %s | tandrel | %.3f | %.3f | (peak RSS %.1f MiB) | |" %
                  (shape, case, m, mc, rss / 1024))
            for (s, c, tool), times in results.items():
                if s != shape or c != case or tool in ("tandrel", "rss") or \
                        tool.startswith("alloc ") or tool.startswith("cpu "):
                    continue
                p = statistics.median(times)
                pc = statistics.median(results[(s, c, "cpu " + tool)])
                print("| %s | %s | %s | %.3f | %.3f | %.2f | %.2f |" %
                      (shape, case, tool, p, pc, m / p, mc / pc if pc else float("nan")))
            if (shape, case, "window") in results:
                w = statistics.median(results[(shape, case, "window")])
                wc = statistics.median(results[(shape, case, "cpu window")])
                print("| %s | %s | **window / tandrel-cli** | | | %.2f | %.2f |" %
                      (shape, case, w / m, wc / mc if mc else float("nan")))
        for (s, c, tool), sizes in results.items():
            if s == shape and tool.startswith("alloc "):
                print("| %s | %s | %s | %.1f MiB on disk | | | |" % (shape, c, tool[6:],
                                                                       max(sizes) / MIB))


def memory_bench(place, args):
    """Peak resident memory of tandrel-cli and rsync for one directory of N empty files,
    side by side (GNU time), in bytes an entry."""
    count = args.memory_files
    print("\n## Memory: one directory of %d empty files (%s), load %s\n" %
          (count, place, load_average()))
    print("Peak resident memory (GNU time) over the entries; rsync's is its largest process.\n")
    print("| case | tool | seconds | CPU s | peak RSS MiB | bytes an entry |")
    print("|---|---|---|---|---|---|")
    work = tempfile.mkdtemp(prefix="mem-", dir=place)
    try:
        src = os.path.join(work, "src")
        os.mkdir(src)
        dests = {"tandrel": os.path.join(work, "dst-tandrel"),
                 "rsync": os.path.join(work, "dst-rsync")}
        for d in dests.values():
            os.mkdir(d)
        for i in range(count):
            os.close(os.open(os.path.join(src, "f%07d" % i), os.O_WRONLY | os.O_CREAT, 0o644))
        tools = [("tandrel", lambda: [[args.cli, "mirror", src, dests["tandrel"], "--delete"]]),
                 ("rsync", lambda: [["rsync", "-a", "--delete", src + "/",
                                     dests["rsync"] + "/"]])]
        for case in ("first", "unchanged", "unchanged"):
            for tool, cmds in tools if case == "first" else list(reversed(tools)):
                subprocess.run(["sync"])
                seconds, cpu, peak = timed(cmds())
                print("| %s | %s | %.2f | %.2f | %.1f | %.0f |" %
                      (case, tool, seconds, cpu, peak / 1024, peak * 1024 / count))
                sys.stdout.flush()
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--quick", action="store_true", help="smaller trees, 3 runs")
    ap.add_argument("--runs", type=int)
    ap.add_argument("--shapes", default="tree,flat,large,sparse")
    ap.add_argument("--volumes", default="ext4,tmpfs")
    ap.add_argument("--memory", action="store_true",
                    help="also the peak memory an entry for one directory of many files (tmpfs)")
    ap.add_argument("--memory-files", type=int, default=300000,
                    help="files in that directory (default 300,000)")
    ap.add_argument("--window", help="bench_ui_run, to time runs started from the window")
    ap.add_argument("--no-cold", action="store_true", help="leave out the cold-cache case")
    ap.add_argument("--no-rclone", action="store_true", help="leave out rclone")
    ap.add_argument("--no-verify", action="store_true")
    args = ap.parse_args()
    args.cli = os.path.abspath(args.cli)
    if args.window:
        args.window = os.path.abspath(args.window)
    args.rclone = not args.no_rclone and shutil.which("rclone") is not None
    if args.runs is None:
        args.runs = 3 if args.quick else 5
    for s in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(s, on_signal)
    shapes = [s for s in args.shapes.split(",") if s]
    print("# tandrel-cli against rsync and cp: %s, %d runs, %s" %
          ("quick" if args.quick else "full", args.runs, time.strftime("%Y-%m-%d %H:%M")))
    print("\ntandrel-cli: %s; rsync: %s; rclone: %s; window: %s" % (
        args.cli, subprocess.run(["rsync", "--version"], capture_output=True,
                                 text=True).stdout.splitlines()[0],
        subprocess.run(["rclone", "version"], capture_output=True,
                       text=True).stdout.splitlines()[0] if args.rclone else "not installed",
        args.window or "not timed"))
    print("\nmachine: %s, %d cores; load average %s" % (os.uname().machine, os.cpu_count(),
                                                     load_average()))
    with Volumes(args.volumes.split(","), (2 if args.quick else 12) * GIB) as volumes:
        for name, path, what in volumes.places:
            rnd = random.Random(1)
            print("\n## %s (%s)" % (name, what))
            for shape in shapes:  # each shape's table as soon as it is done
                results = {}
                notes = []
                cold = name == "ext4" and os.geteuid() == 0 and not args.no_cold
                notes.append("load average before: " + load_average())
                bench_shape(path, shape, args, rnd, results, notes, cold)
                notes.append("load average after: " + load_average())
                print()
                report(results, [shape], notes)
                sys.stdout.flush()
        if args.memory:
            place = next((p for n, p, _ in volumes.places if n == "tmpfs"), None)
            if place is not None:
                memory_bench(place, args)
    if args.memory and "tmpfs" not in args.volumes.split(","):
        # The million-entry directory needs more inodes than the shapes' image has left: it
        # gets a tmpfs of its own.
        with Volumes(["tmpfs"], (2 if args.quick else 12) * GIB) as volumes:
            memory_bench(volumes.places[0][1], args)


if __name__ == "__main__":
    main()
