#!/usr/bin/env python3
"""The whole program as a user meets it: the built tandrel on a virtual X display, driven with
the keyboard through xdotool, on a fresh settings folder and temporary trees.

It runs a job from the Quick page, adds a job on the Batch page and runs it, switches the log
on on the Option page, closes the window with SIGTERM (as a logout does), starts it again and
checks that the paths, the batch list and the log setting came back, and compares the trees and
the log with what tandrel-cli makes of the same jobs.

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
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"],
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

    def __init__(self, binary, env, shots):
        self.env = env
        self.shots = shots
        self.process = subprocess.Popen([binary], env=env, stderr=subprocess.PIPE)
        self.main = self.wait_window("^Tandrel$")
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
            raise Failure("tandrel exited with %d after SIGTERM: %s"
                          % (status, self.process.stderr.read().decode(errors="replace")))


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
