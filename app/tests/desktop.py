"""Helpers for driving the real program on an X display like a user does:
find its window, give it the focus, click at a point of the window definition,
type, read the title. Used by the shell and end-to-end tests and the
benchmark."""

import os
import shutil
import signal
import subprocess
import time

# Client-area geometry of the controls the tests press (left, top, width,
# height), the tab control's page controls already moved by its position
# (-1, 355).
TABS = (-1, 355)
START_BUTTON = (TABS[0] + 415, TABS[1] + 157, 91, 32)
STOP_BUTTON = (TABS[0] + 541, TABS[1] + 157, 90, 32)
LOGIN_BUTTON = (TABS[0] + 112, TABS[1] + 156, 86, 32)
BOARDS_BOX = (TABS[0] + 9, TABS[1] + 50, 388, 95)
REPLIES_BOX = (TABS[0] + 6, TABS[1] + 57, 790, 147)
# The second tab header: its exact place is the theme's; this point lies on
# it with the compact headers the shell sets.
SECOND_TAB = (TABS[0] + 100, TABS[1] + 2, 54, 16)


def xdotool(*args, check=True):
    r = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=30)
    if check and r.returncode != 0:
        raise RuntimeError("xdotool %s failed: %s" % (" ".join(map(str, args)), r.stderr))
    return r.stdout.strip()


def wait_for(predicate, timeout, what, interval=0.1):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    raise AssertionError("timed out after %ss waiting for %s" % (timeout, what))


class Program:
    """The program started from a copy of its executable in a scratch
    directory (its settings files live beside the executable)."""

    def __init__(self, executable, directory, env=None, log_directory=None):
        self.directory = directory
        self.env = env
        self.log_directory = log_directory or directory
        self.name = os.path.basename(executable)
        self.path = os.path.join(directory, self.name)
        if not os.path.exists(self.path):
            shutil.copy2(executable, self.path)
        self.proc = None
        self.window = None

    def start(self):
        self.proc = subprocess.Popen([self.path], cwd="/", stdout=subprocess.DEVNULL, env=self.env,
                                     stderr=open(os.path.join(self.log_directory, "stderr.log"), "ab"))
        pid = self.proc.pid

        def find():
            out = xdotool("search", "--onlyvisible", "--pid", pid, check=False)
            return out.split()[0] if out else None
        self.window = wait_for(find, 60, "the program's window")
        return self.window

    def focus(self):
        xdotool("windowfocus", "--sync", self.window)

    def title(self):
        r = subprocess.run(["xdotool", "getwindowname", self.window], capture_output=True,
                           timeout=10)
        return r.stdout.decode("utf-8", "replace").rstrip("\n")

    def click(self, rect):
        left, top, width, height = rect
        xdotool("mousemove", "--window", self.window, left + width // 2, top + height // 2)
        xdotool("click", "1")

    def key(self, *keys):
        xdotool("key", "--clearmodifiers", *keys)

    def type(self, text):
        xdotool("type", "--delay", "30", text)

    def wait_exit(self, timeout):
        return self.proc.wait(timeout=timeout)

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGKILL)
            self.proc.wait()
