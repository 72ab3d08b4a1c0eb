#!/usr/bin/env python3
"""The whole program as a user meets it: the built tandrel on a virtual X display, driven with
the keyboard through xdotool, on a fresh settings folder and temporary trees.

It runs a job from the Quick page, adds a job on the Batch page and runs it, switches the log
on on the Option page, closes the window with SIGTERM (as a logout does), starts it again and
checks that the paths, the batch list and the log setting came back, and compares the trees and
the log with what tandrel-cli makes of the same jobs. Then it starts the window with a file
argument (left aside), hands it an entry with tandrel-cli and ends the X server under it: the
entry must be in the store.

Usage: window_e2e.py TANDREL TANDREL_CLI [SCREENSHOT_DIR]
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TIMEOUT = 20.0
# The installed desktop entry's name and the folder it is kept in.
DESKTOP_ID = "example.halvory.Tandrel"
DATA_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data")


class Failure(Exception):
    pass


def wait_until(what, condition, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.05)
    raise Failure("timed out waiting for " + what)


class Display:
    """A private X server for the test."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            # No key repeat: on a loaded machine xdotool can be descheduled between a key's press
            # and its release long enough for the server to repeat the key (a second Alt+L
            # would switch the log off again).
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp", "-r", "-ardelay", "30000"],
            pass_fds=[write_end], stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                raise Failure("Xvfb did not start")
            number += chunk
        os.close(read_end)
        self.name = ":" + number.decode().strip()

    def close(self):
        self.server.terminate()
        self.server.wait()


class Program:
    """One start of the window program and what a user does with it."""

    def __init__(self, binary, env, shots, errors, args=()):
        self.env = env
        self.shots = shots
        # The program's messages go to a file: a pipe nobody reads could fill and stop it.
        self.errors = errors
        with open(errors, "ab") as sink:
            self.process = subprocess.Popen([binary, *args], env=env, stderr=sink)
        self.binary = binary
        self.main = self.wait_window("^Tandrel$")
        self.settle()

    def settle(self, after_click=False):
        """Waits until the window has handled everything sent to it so far: a second start
        returns only once the window's event loop has answered it, so the keys that follow do
        not arrive while the window is still setting itself up or building a page it was just
        switched to (on a busy machine that takes a while)."""
        if after_click:
            time.sleep(0.3)  # longer than the click Qt animates for a mnemonic (100 ms)
        second = subprocess.run([self.binary], env=self.env, capture_output=True,
                                timeout=TIMEOUT)
        if second.returncode != 0:
            raise Failure("a second start while the window was open ended with %d: %s"
                          % (second.returncode, second.stderr.decode(errors="replace")))
        self.focus(self.main)

    def xdo(self, *args):
        result = subprocess.run(["xdotool", *args], env=self.env, capture_output=True,
                                text=True, timeout=TIMEOUT)
        if result.returncode != 0:
            raise Failure("xdotool %s: %s" % (" ".join(args), result.stderr.strip()))
        return result.stdout

    def windows(self, name):
        result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                                env=self.env, capture_output=True, text=True, timeout=TIMEOUT)
        return result.stdout.split()

    def wait_window(self, name, besides=()):
        found = []

        def appeared():
            found[:] = [w for w in self.windows(name) if w not in besides]
            return bool(found)

        wait_until("a window named " + name, appeared)
        return found[-1]

    def focus(self, window):
        # There is no window manager: the keyboard goes where the focus is set.
        self.xdo("windowfocus", "--sync", window)
        time.sleep(0.2)

    def keys(self, *keys):
        for key in keys:
            self.xdo("key", "--clearmodifiers", key)
            time.sleep(0.08)

    def type(self, text):
        self.xdo("type", "--delay", "2", text)

    def replace_field(self, text):
        self.keys("ctrl+a")
        self.type(text)

    def dialog(self, name):
        """Waits for a dialog named `name` besides the main window and gives it the keyboard."""
        window = self.wait_window(name, besides=(self.main,))
        self.focus(window)
        return window

    def shot(self, name):
        if self.shots:
            subprocess.run(["import", "-window", "root", os.path.join(self.shots, name + ".png")],
                           env=self.env, check=False)

    def terminate(self):
        self.process.send_signal(signal.SIGTERM)
        status = self.process.wait(timeout=TIMEOUT)
        if status != 0:
            raise Failure("tandrel exited with %d after SIGTERM" % status)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def make_tree(root, files):
    for rel, text in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)


def snapshot(root):
    """Every entry under `root` (hidden names too) with its kind, content and time."""
    seen = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, root)
            st = os.lstat(path)
            if os.path.isdir(path):
                seen[rel] = ("dir",)
            else:
                with open(path, "rb") as f:
                    seen[rel] = ("file", f.read(), st.st_mtime_ns)
    return seen


def run_lines(log_path):
    """The log's lines without the time in each job's header."""
    with open(log_path, "rb") as f:
        lines = f.read().decode(errors="replace").splitlines()
    return [line.split(")", 1)[1] if line.startswith("(") else line for line in lines]


def check(condition, message):
    if not condition:
        raise Failure(message)


def log_jobs(log_path):
    """How many jobs the log holds (each ends with its closing rule)."""
    if not os.path.exists(log_path):
        return 0
    return sum(1 for line in run_lines(log_path) if line.startswith("---"))


def window_property(program, window, name):
    """The value xprop shows for property `name` of `window`, as text after " = "."""
    result = subprocess.run(["xprop", "-id", window, name], env=program.env, capture_output=True,
                            text=True, timeout=TIMEOUT)
    line = result.stdout.strip()
    return line.split(" = ", 1)[1] if " = " in line else ""


def desktop_entry_value(key):
    entry = os.path.join(DATA_DIR, DESKTOP_ID + ".desktop")
    with open(entry, encoding="utf-8") as f:
        for line in f:
            if line.startswith(key + "="):
                return line.strip().split("=", 1)[1]
    return ""


def private_env(work, display):
    """The environment of a window on `display` with its settings, runtime folder and home in
    `work`, in English (the window's English texts are checked)."""
    os.makedirs(os.path.join(work, "run"), mode=0o700)
    env = dict(os.environ, DISPLAY=display.name, XDG_CONFIG_HOME=os.path.join(work, "cfg"),
               XDG_RUNTIME_DIR=os.path.join(work, "run"), HOME=work, LC_ALL="C.UTF-8",
               LANGUAGE="")
    env.pop("QT_QPA_PLATFORM", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def check_desktop_identity(program, tandrel, env):
    """The window, its menu entry and the desktop file name agree; a second start's startup id
    reaches the window."""
    wm_class = window_property(program, program.main, "WM_CLASS")
    startup_class = desktop_entry_value("StartupWMClass")
    if wm_class.split(", ")[-1].strip('"') != startup_class:
        raise Failure("WM_CLASS %s does not end with the entry's StartupWMClass %r"
                      % (wm_class, startup_class))
    desktop_file = window_property(program, program.main, "_KDE_NET_WM_DESKTOP_FILE")
    if desktop_file.strip('"') != DESKTOP_ID:
        raise Failure("the window names desktop file %s, not %s" % (desktop_file, DESKTOP_ID))
    launch = "e2e-launch-%d_TIME4242" % os.getpid()
    second = subprocess.run([tandrel], env=dict(env, DESKTOP_STARTUP_ID=launch),
                            capture_output=True, timeout=TIMEOUT)
    if second.returncode != 0:
        raise Failure("a second start with a startup id ended with %d" % second.returncode)
    wait_until("the startup id on the window",
               lambda: window_property(program, program.main, "_NET_STARTUP_ID")
               == '"%s"' % launch)
    program.focus(program.main)


def attempt(tandrel, cli, shots):
    """One pass through the scenario on a fresh display and fresh folders; raises Failure."""
    work = tempfile.mkdtemp(prefix="tandrel-e2e-")
    display = Display()
    programs = []
    errors = os.path.join(work, "tandrel-stderr.txt")
    try:
        env = private_env(work, display)
        path = lambda *parts: os.path.join(work, *parts)
        make_tree(path("quick-src"), {"a.txt": "alpha", "sub/b.txt": "beta", "sub/deep/c": "c"})
        make_tree(path("batch-src"), {"d.txt": "delta", "e/f.txt": "phi"})
        make_tree(path("batch-dst"), {"extra.txt": "kept, as Keep says"})
        for name in ("quick-dst", "cli-quick-dst"):
            os.makedirs(path(name))
        shutil.copytree(path("batch-dst"), path("cli-batch-dst"))
        log = path("run.log")

        # First start: log on, a job from the Quick page, the same job filed in the batch list,
        # a job added on the Batch page, and a batch run.
        program = Program(tandrel, env, shots, errors)
        programs.append(program)
        program.shot("1-status")
        check_desktop_identity(program, tandrel, env)
        program.settle()
        program.keys("ctrl+Tab", "ctrl+Tab", "ctrl+Tab")  # Option
        program.settle()
        # A mnemonic clicks its button a moment later (Qt animates the click): wait for it
        # before the next key, which must find the name field enabled.
        program.keys("alt+l")
        program.settle(after_click=True)
        program.keys("Tab")
        program.replace_field(log)
        for _ in range(2):  # the name reaches the run log when the box is checked
            program.keys("alt+l")
            program.settle(after_click=True)
        program.shot("2-option")
        # Focus inside a page moves to the first field of the page switched to: Quick's From.
        program.keys("ctrl+shift+Tab")
        program.settle()
        program.replace_field(path("quick-src"))
        program.keys("Tab", "Tab")  # past From's "..." to To, in the page's visual order
        program.replace_field(path("quick-dst"))
        program.shot("3-quick")
        program.keys("alt+g")
        wait_until("the Quick page's run", lambda: log_jobs(log) == 1)
        program.keys("alt+a")
        program.dialog("^Please enter a description$")
        program.type("filed from Quick")
        program.keys("Return")
        program.focus(program.main)
        program.keys("ctrl+shift+Tab")  # Batch
        program.settle()
        program.keys("alt+a")  # "Add"
        program.dialog("^Tandrel$")
        program.type("batch job")
        program.keys("Tab")
        program.type(path("batch-src"))
        program.keys("Tab", "Tab")
        program.type(path("batch-dst"))
        program.keys("Return")
        program.focus(program.main)
        program.shot("4-batch")
        program.keys("alt+g")
        wait_until("the Batch page's run", lambda: log_jobs(log) == 3)
        program.shot("5-batch-after-run")
        program.terminate()

        listed = subprocess.run([cli, "list"], env=env, capture_output=True, text=True).stdout
        check(listed == "1 [x] filed from Quick: %s => %s\n2 [x] batch job: %s => %s\n"
              % (path("quick-src"), path("quick-dst"), path("batch-src"), path("batch-dst")),
              "the batch list after the first start:\n" + listed)
        first_log = run_lines(log)

        # The same jobs through tandrel-cli give the same trees and the same lines.
        cli_log = path("cli.log")
        cli_lines = []
        for src, dst in (("quick-src", "cli-quick-dst"), ("batch-src", "cli-batch-dst"),
                         ("quick-src", "cli-quick-dst")):
            subprocess.run([cli, "mirror", path(src), path(dst), "--log", cli_log], env=env,
                           check=True, stdout=subprocess.DEVNULL)
            cli_lines += run_lines(cli_log)
        for gui, cli_dst in (("quick-dst", "cli-quick-dst"), ("batch-dst", "cli-batch-dst")):
            check(snapshot(path(gui)) == snapshot(path(cli_dst)),
                  "%s differs from what tandrel-cli made" % gui)
        cli_lines = [line.replace("cli-quick-dst", "quick-dst").replace("cli-batch-dst",
                                                                          "batch-dst")
                     for line in cli_lines]
        check(first_log == cli_lines,
              "the window's log differs from tandrel-cli's:\n%s\n---\n%s"
              % ("\n".join(first_log), "\n".join(cli_lines)))

        # Second start: the Quick page shows the remembered paths (GO runs them again), the log
        # is on with the remembered name, and the batch list is back.
        make_tree(path("quick-src"), {"new.txt": "new since the first start"})
        program = Program(tandrel, env, shots, errors)
        programs.append(program)
        program.keys("ctrl+Tab", "ctrl+Tab")
        program.settle()
        program.keys("alt+g")
        wait_until("the remembered Quick job", lambda: os.path.exists(path("quick-dst", "new.txt")))
        wait_until("the log of the second start", lambda: log_jobs(log) == 1)
        check(any(line.endswith("quick-dst/new.txt") for line in run_lines(log)),
              "the second start's log does not name new.txt:\n" + "\n".join(run_lines(log)))
        program.keys("ctrl+shift+Tab")
        program.shot("6-batch-restarted")
        # One window per user: a second start brings this one forward and ends at once, and
        # tandrel-cli hands its entry to the open window instead of writing behind its back.
        second = subprocess.run([tandrel], env=env, capture_output=True, timeout=TIMEOUT)
        check(second.returncode == 0, "a second start ended with %d" % second.returncode)
        check(len(program.windows("^Tandrel$")) == 1, "a second window opened")
        added = subprocess.run([cli, "add", "while open", path("batch-src"), path("batch-dst")],
                               env=env, capture_output=True, text=True, timeout=TIMEOUT)
        check(added.returncode == 0, "add while the window is open: " + added.stderr)
        program.shot("7-batch-added-from-cli")
        program.terminate()
        listed = subprocess.run([cli, "list"], env=env, capture_output=True, text=True).stdout
        check(listed.endswith("3 [x] while open: %s => %s\n" % (path("batch-src"),
                                                                path("batch-dst")))
              and listed.count("\n") == 3,
              "the batch list after the second start:\n" + listed)
        check(snapshot(path("quick-src")) == snapshot(path("quick-dst")),
              "quick-dst is not a copy of quick-src")
    except Failure:
        if programs:
            programs[-1].shot("failed")
        describe(work, errors)
        raise
    finally:
        for program in programs:
            program.kill()
        display.close()
        shutil.rmtree(work, ignore_errors=True)


def display_lost(tandrel, cli):
    """The X server goes away under an open window that was just handed an entry; raises
    Failure."""
    work = tempfile.mkdtemp(prefix="tandrel-e2e-lost-")
    display = Display()
    program = None
    errors = os.path.join(work, "tandrel-stderr.txt")
    try:
        env = private_env(work, display)
        for name in ("src", "dst"):
            os.makedirs(os.path.join(work, name))
        # A file manager's "open with" hands over a file: the window opens all the same.
        program = Program(tandrel, env, "", errors, args=[os.path.join(work, "src")])
        added = subprocess.run([cli, "add", "before the crash", os.path.join(work, "src"),
                                os.path.join(work, "dst")],
                               env=env, capture_output=True, text=True, timeout=TIMEOUT)
        check(added.returncode == 0, "add while the window is open: " + added.stderr)
        display.server.kill()
        display.server.wait()
        status = program.process.wait(timeout=TIMEOUT)
        check(status == 1, "tandrel exited with %d when its display went away" % status)
        listed = subprocess.run([cli, "list"], env=env, capture_output=True, text=True).stdout
        check(listed == "1 [x] before the crash: %s => %s\n" % (os.path.join(work, "src"),
                                                                os.path.join(work, "dst")),
              "the batch list after the display went away:\n" + listed)
        with open(errors, "rb") as f:
            said = f.read().decode(errors="replace")
        check("takes no arguments" in said and "display is gone" in said,
              "what tandrel said on stderr:\n" + said)
    except Failure:
        describe(work, errors)
        raise
    finally:
        if program:
            program.kill()
        display.close()
        shutil.rmtree(work, ignore_errors=True)


def describe(work, errors):
    """What a failed pass left behind, for the test's output."""
    for dirpath, dirnames, filenames in sorted(os.walk(work)):
        for name in sorted(filenames):
            print("  " + os.path.relpath(os.path.join(dirpath, name), work), file=sys.stderr)
    for name in ("run.log", "tandrel-stderr.txt"):
        path = os.path.join(work, name)
        if os.path.exists(path):
            with open(path, "rb") as f:
                print("%s:\n%s" % (name, f.read().decode(errors="replace")), file=sys.stderr)


def main():
    tandrel, cli = sys.argv[1], sys.argv[2]
    shots = sys.argv[3] if len(sys.argv) > 3 else ""
    if shots:
        os.makedirs(shots, exist_ok=True)
    # Keys sent to a real X server on a busy machine: one pass may be retried, and the first
    # pass's failure is printed either way.
    passed = False
    for number in (1, 2):
        try:
            attempt(tandrel, cli, shots)
            print("window end to end: ok" + (" on the second pass" if number == 2 else ""))
            passed = True
            break
        except Failure as failure:
            print("window end to end: pass %d FAILED: %s" % (number, failure), file=sys.stderr)
    try:
        display_lost(tandrel, cli)
        print("display lost under the window: ok")
    except Failure as failure:
        print("display lost under the window: FAILED: %s" % failure, file=sys.stderr)
        passed = False
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
