"""Helpers for driving the real program on an X display like a user does:
find its window, give it the focus, click at a point of the window definition,
type, follow the title. Used by the shell and end-to-end tests and the
benchmark."""

import atexit
import os
import re
import shutil
import signal
import subprocess
import threading
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


class TitleWatch:
    """Every title the display's windows are given, in the order the X
    server receives them, from brevane-title-watch (built beside the
    program): each change is seen, however briefly it stands, and waiting
    for a title wakes on the change itself."""

    def __init__(self, tool):
        self.proc = subprocess.Popen([tool], stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
        # A test that ends without kill() must not leave the watch running:
        # it holds the test's error output, which CTest waits on.
        atexit.register(self.stop)
        self.changed = threading.Condition()
        self.by_window = {}
        self.ready = False
        self.ended = False
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        with self.changed:
            if not self.changed.wait_for(lambda: self.ready or self.ended, 30) or not self.ready:
                raise RuntimeError("brevane-title-watch did not start")

    def _read(self):
        for raw in self.proc.stdout:
            line = raw.decode("utf-8", "replace").rstrip("\n")
            with self.changed:
                if line == "ready":
                    self.ready = True
                else:
                    window, _, title = line.partition(" ")
                    title = re.sub(r"\\(.)", lambda m: "\n" if m.group(1) == "n" else m.group(1), title)
                    history = self.by_window.setdefault(int(window, 16), [])
                    if not history or history[-1] != title:
                        history.append(title)
                self.changed.notify_all()
        with self.changed:
            self.ended = True
            self.changed.notify_all()

    def titles(self, window):
        with self.changed:
            return list(self.by_window.get(int(window), []))

    def wait(self, window, predicate, timeout, what):
        """Waits until predicate(titles of the window) holds; returns its value."""
        with self.changed:
            value = None

            def holds():
                nonlocal value
                value = predicate(self.by_window.get(int(window), []))
                return value or self.ended
            if not self.changed.wait_for(holds, timeout) or not value:
                raise AssertionError("timed out after %ss waiting for %s; titles %r"
                                     % (timeout, what, self.by_window.get(int(window), [])))
            return value

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()


class Program:
    """The program started from a copy of its executable in a scratch
    directory (its settings files live beside the executable)."""

    def __init__(self, executable, directory, env=None, log_directory=None):
        # The title watch is built beside the program (build/app/).
        self.title_tool = os.path.join(os.path.dirname(os.path.abspath(executable)), "brevane-title-watch")
        self.watch = None
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
        # The watch runs before the program does, so its first title is seen too.
        if self.watch is None and os.path.exists(self.title_tool):
            self.watch = TitleWatch(self.title_tool)
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

    def _watch(self):
        if self.watch is None:
            raise RuntimeError("no title watch: %s is missing" % self.title_tool)
        return self.watch

    def title(self):
        """The title the window has now."""
        history = self._watch().titles(self.window)
        return history[-1] if history else ""

    def titles(self):
        """Every title the window has had, in order (repeats of one title
        in a row counted once)."""
        return self._watch().titles(self.window)

    def wait_title(self, title, timeout, after=0):
        """Waits for the window to show the title (at a place of its history
        from `after` on); returns the place after it."""
        def found(history):
            return title in history[after:] and history.index(title, after) + 1
        return self._watch().wait(self.window, found, timeout, "the title %r" % title)

    def wait_showing(self, title, timeout, what=None):
        """Waits until the window shows the title (at once if it does now)."""
        return self._watch().wait(self.window, lambda history: history and history[-1] == title, timeout,
                                  what or "the title %r" % title)

    def wait_titles(self, predicate, timeout, what):
        """Waits until predicate(every title so far) holds; returns its value."""
        return self._watch().wait(self.window, predicate, timeout, what)

    def click(self, rect):
        left, top, width, height = rect
        xdotool("mousemove", "--window", self.window, left + width // 2, top + height // 2)
        xdotool("click", "1")

    def key(self, *keys):
        xdotool("key", "--clearmodifiers", *keys)

    def type(self, text):
        """Types ASCII text key by key. xdotool types other characters by
        remapping a spare key first, which a busy program may not have seen
        when the key arrives: such text goes in by paste()."""
        assert text.isascii(), "type() takes ASCII only; paste() the rest"
        xdotool("type", "--delay", "30", text)

    def paste(self, text):
        """Puts the text on the clipboard and presses Ctrl+V: the program
        takes it through the clipboard's own transfer, whole."""
        owner = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], stdin=subprocess.PIPE,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        owner.stdin.write(text.encode("utf-8"))
        owner.stdin.close()
        try:
            # xclip owns the selection once it has read its input and
            # answers requests from then on.
            wait_for(lambda: subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                                            timeout=10).stdout == text.encode("utf-8"), 10, "the clipboard")
            self.key("ctrl+v")
            return owner
        except Exception:
            owner.kill()
            raise

    def wait_exit(self, timeout):
        return self.proc.wait(timeout=timeout)

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGKILL)
            self.proc.wait()
        if self.watch is not None:
            self.watch.stop()
            self.watch = None
