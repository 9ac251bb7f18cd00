#!/usr/bin/env python3
"""Benchmark of the real program on the demo forum (not run by ctest).

  xvfb-run -a -s "-screen 0 1280x1024x24" tools/bench-program.py BUILD_DIR [--passes 20]

BUILD_DIR is a configured build of this repository (brevane_e2e is rebuilt
there with the forum's port). The program runs from a scratch directory on
three boards; the script gives the window the focus (login), clicks Start
and lets it run the given number of passes. Every other pass the forum gets
one new unanswered thread per board, so those passes post three replies.

Figures, all from the forum's request log (the program itself reports
nothing but its title):
  - cost of one board beyond its fixed 1000 ms pause: time from one board
    page request to the next within a pass without postings, minus 1000 ms;
  - cost of one posting beyond its fixed 1200 ms of pauses: time from the
    thread page request to the next board request, minus 1200 ms and the
    board pause, minus the board cost;
  - CPU used while the title counts down, in percent of one core, as the
    user's machine pays it: every thread of the program's process and of
    every process below it (the WebKit web and network processes and their
    children; the X server is not counted), from the scheduler's nanosecond
    run times (/proc/PID/task/TID/schedstat), from 1 s to 8 s into each 10 s
    countdown. Median and range over the passes, separately for a countdown
    with a thread page and its editor shown (the last page the program
    asked for was a thread) and with a board page shown, the banner playing
    in both; beside the tree, the program's own process and the web process;
  - latency from a new thread's appearance on the forum to the arrival of
    our reply (median and worst), beside the least the fixed pauses and the
    countdown allow: the countdown left when the thread appeared, the board
    pause (1000 ms) and posting pauses (1200 ms) of every board read before
    its own, and the 200 ms of pauses before its reply is submitted;
  - resident memory of the program's process after every pass.

With --hung-page-stops N it measures instead how long Stop takes on a thread
page that never answers: the boards are asked for with ?hang=1, so every
thread the program opens ends in an endless script. As soon as the forum sees
the program ask for such a thread, the script clicks Stop and times the title
until it reads 已停止监控; then it clicks Start again for the next trial (the
next board's unanswered thread). The figure is printed, never judged.
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "app", "tests"))
from desktop import START_BUTTON, STOP_BUTTON, Program, wait_for  # noqa: E402
from e2e_test import Forum, build_program  # noqa: E402

BOARDS = ["424021", "424015", "424005"]


def thread_ns(pid):
    """{tid: nanoseconds run} for the living threads of pid, from the
    scheduler's per-thread schedstat."""
    out = {}
    try:
        tids = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return out
    for tid in tids:
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, tid)) as f:
                out[int(tid)] = int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass  # the thread ended meanwhile
    return out


def process_name(pid):
    try:
        with open("/proc/%d/comm" % pid) as f:
            return f.read().strip()
    except OSError:
        return ""


def tree_ns(pid):
    """{(pid, tid): run nanoseconds} for every thread of pid and of every
    process below it."""
    return {(p, t): ns for p in [pid] + descendants(pid) for t, ns in thread_ns(p).items()}


def spent_percent(before, after, seconds, which=lambda p: True):
    """CPU in percent of one core between two tree_ns readings, over the
    processes which() picks, thread by thread: a thread that started
    meanwhile counts from zero, one that ended meanwhile loses only its time
    since the first reading (WebKit ends idle worker threads now and then;
    the threads that run during a countdown live on)."""
    return sum(ns - before.get(key, 0) for key, ns in after.items() if which(key[0])) / 1e9 / seconds * 100


def median_range(values):
    if not values:
        return "no pass"
    return "median %.2f%%, range %.2f%% to %.2f%% (%d passes)" % (
        statistics.median(values), min(values), max(values), len(values))


def shown_page(requests):
    """What the view shows after a pass: the kind of the last page asked for."""
    for r in reversed(requests):
        if r["method"] == "GET" and r["path"].startswith("/thread/"):
            return "thread"
        if r["method"] == "GET" and r["path"].startswith("/catalog/"):
            return "board"
    return "board"


def write_settings(scratch, forum, replies=("基准测试回复一", "基准测试回复二", "基准测试回复三")):
    with open(os.path.join(scratch, "版块.ini"), "wb") as f:
        f.write("\r\n".join("%s/catalog/%s.htm" % (forum.base, b) for b in BOARDS).encode("gbk"))
    with open(os.path.join(scratch, "回帖.ini"), "wb") as f:
        f.write("\r\n".join(replies).encode("gbk"))


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def descendants(pid):
    """Every process below pid: children, their children and so on."""
    parent_of = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                parent_of[int(entry)] = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, ValueError, IndexError):
            pass
    found, frontier = [], [pid]
    while frontier:
        p = frontier.pop()
        kids = [c for c, parent in parent_of.items() if parent == p]
        found += kids
        frontier += kids
    return found


def median_worst(values):
    return (statistics.median(values), max(values)) if values else (float("nan"), float("nan"))


def get(url):
    with urllib.request.urlopen(url, timeout=10) as r:
        return r.read().decode("utf-8")


def hung_page_stops(build_dir, trials):
    """Stop-to-stopped on thread pages whose script never returns."""
    forum = Forum(os.path.join(HERE, "demo-forum", "forum.py"))
    program = None
    figures = []
    try:
        exe = build_program(build_dir, os.path.join(ROOT, "app", "e2e_endpoints.cpp.in"), forum.port)
        with tempfile.TemporaryDirectory() as scratch:
            program = Program(exe, scratch)
            with open(os.path.join(scratch, "版块.ini"), "wb") as f:
                f.write("\r\n".join("%s/catalog/%s.htm?hang=1" % (forum.base, b) for b in BOARDS).encode("gbk"))
            with open(os.path.join(scratch, "回帖.ini"), "wb") as f:
                f.write("基准测试回复".encode("gbk"))
            program.start()
            program.focus()
            program.wait_showing("登录成功", 60, "login")
            seen = 0
            for n in range(trials):
                if n % len(BOARDS) == 0 and n > 0:
                    get(forum.base + "/_spawn")  # fresh unanswered threads on every board
                program.click(START_BUTTON)

                def hung_thread_asked():
                    requests = forum.received()["requests"]
                    return sum(1 for r in requests if r["path"].startswith("/thread/") and "hang=1" in r["path"])

                wait_for(lambda: hung_thread_asked() > seen, 120, "trial %d: the hung thread page" % (n + 1),
                         interval=0.02)
                seen = hung_thread_asked()
                t0 = time.time()
                program.click(STOP_BUTTON)
                program.wait_showing("已停止监控", 120, "trial %d: stopped" % (n + 1))
                figures.append(time.time() - t0)
                print("trial %d: Stop to stopped on a hung thread page: %.2f s" % (n + 1, figures[-1]), flush=True)
    finally:
        if program is not None:
            program.kill()
        forum.stop()
    print()
    print("Stop to stopped on a hung thread page: median %.2f s, max %.2f s over %d trials"
          % (statistics.median(figures), max(figures), len(figures)))


def machine():
    """The machine the figures come from: CPU model, cores, memory, and the
    load when the run began and ended, since idle percentages only compare
    on the same kind of machine."""
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    memory = ""
    try:
        with open("/proc/meminfo") as f:
            kib = int(f.readline().split()[1])
        memory = ", %.0f GiB" % (kib / 1024 / 1024)
    except (OSError, ValueError, IndexError):
        pass
    return "%s, %d cores%s" % (model, os.cpu_count() or 0, memory)


def load():
    return "load %.2f %.2f %.2f (1, 5, 15 min)" % os.getloadavg()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build_dir")
    ap.add_argument("--passes", type=int, default=20)
    ap.add_argument("--hung-page-stops", type=int, default=0, metavar="TRIALS",
                    help="measure Stop on thread pages whose script never returns, over TRIALS trials")
    args = ap.parse_args()
    print("machine: %s; at the start: %s" % (machine(), load()), flush=True)
    if args.hung_page_stops > 0:
        hung_page_stops(args.build_dir, args.hung_page_stops)
        return
    forum = Forum(os.path.join(HERE, "demo-forum", "forum.py"))
    program = None
    try:
        exe = build_program(args.build_dir, os.path.join(ROOT, "app", "e2e_endpoints.cpp.in"), forum.port)
        with tempfile.TemporaryDirectory() as scratch:
            program = Program(exe, scratch)
            write_settings(scratch, forum)
            program.start()
            pid = program.proc.pid
            program.focus()
            program.wait_showing("登录成功", 60, "login")
            program.click(START_BUTTON)

            rss = []
            # CPU from 1 s to 8 s into each countdown, by the page shown.
            idle = {"thread": {"tree": [], "main": [], "web": []}, "board": {"tree": [], "main": [], "web": []}}
            spawns = []
            for n in range(args.passes):
                program.wait_showing("9秒后继续监控...", 120, "countdown of pass %d" % (n + 1))
                t0, c0 = time.monotonic(), tree_ns(pid)
                program.wait_showing("2秒后继续监控...", 15, "countdown end")
                t1, c1 = time.monotonic(), tree_ns(pid)
                page = shown_page(forum.received()["requests"])
                spent = {
                    "tree": spent_percent(c0, c1, t1 - t0),
                    "main": spent_percent(c0, c1, t1 - t0, lambda p: p == pid),
                    "web": spent_percent(c0, c1, t1 - t0, lambda p: process_name(p).startswith("WebKitWebProces")),
                }
                for k, v in spent.items():
                    idle[page][k].append(v)
                rss.append(rss_kib(pid))
                # New unanswered threads after passes 1, 3, ...: passes 2, 4, ...
                # post and end on a thread page with its editor.
                if n % 2 == 0:
                    spawns.append(time.time())
                    get(forum.base + "/_spawn")
                print("pass %2d: rss %d KiB, countdown with a %s page: tree %.2f%%, program %.2f%%, web process %.2f%%"
                      % (n + 1, rss[-1], page, spent["tree"], spent["main"], spent["web"]), flush=True)

            received = forum.received()
            requests = received["requests"]
    finally:
        if program is not None:
            program.kill()
        forum.stop()

    # Board and posting costs from the request log.
    board_gaps, posting_gaps = [], []
    events = [(r["time"], r["method"], r["path"]) for r in requests]
    board_requests = [(i, e) for i, e in enumerate(events) if e[1] == "GET" and e[2].startswith("/catalog/")]
    for (i, a), (j, b) in zip(board_requests, board_requests[1:]):
        if b[2].split("?")[0].endswith(BOARDS[0] + ".htm"):
            continue  # across the countdown
        between = events[i + 1:j]
        posted = any(e[1] == "POST" for e in between)
        gap = (b[0] - a[0]) * 1000
        (posting_gaps if posted else board_gaps).append(gap)
    board_cost = statistics.median(board_gaps) - 1000 if board_gaps else float("nan")
    posting_cost = (statistics.median(posting_gaps) - 1000 - 1200 - board_cost) if posting_gaps else float("nan")
    print()
    print("machine: %s; at the end: %s" % (machine(), load()))
    print("boards measured: %d, postings measured: %d" % (len(board_gaps), len(posting_gaps)))
    print("cost of one board beyond its 1000 ms pause: %.0f ms (median)" % board_cost)
    print("cost of one posting beyond its 1200 ms of pauses: %.0f ms (median)" % posting_cost)
    for page, shown in (("thread", "a thread page and its editor"), ("board", "a board page")):
        print("CPU while counting down with %s shown, 1 s to 8 s into the countdown, in percent of one core:"
              % shown)
        print("  whole process tree: %s" % median_range(idle[page]["tree"]))
        print("  program's process:  %s" % median_range(idle[page]["main"]))
        print("  web process:        %s" % median_range(idle[page]["web"]))

    # Latency from a new thread to our reply, and the least the pauses allow.
    latencies, least = thread_latencies(received, requests, board_cost, spawns)
    if latencies:
        med, worst = median_worst(latencies)
        lmed, lworst = median_worst(least)
        print("new thread to our reply: median %.0f ms, worst %.0f ms (%d threads); least the pauses and the "
              "countdown allow: median %.0f ms, worst %.0f ms" % (med, worst, len(latencies), lmed, lworst))
    print("resident memory: first pass %d KiB, last pass %d KiB, max %d KiB"
          % (rss[0], rss[-1], max(rss)))


def thread_latencies(received, requests, board_cost, spawns):
    """For every thread spawned by the bench and answered: the time from its
    creation to our reply's arrival, and the least a program with no costs of
    its own could take on the same schedule. That program starts its next
    pass when the countdown ends (taken as the first board request after the
    thread appeared, less one board's cost), reads the boards in order, each
    followed by its 1000 ms pause and, as every board has a new thread, by a
    posting's 1200 ms of pauses, and submits a reply 200 ms after opening the
    thread."""
    first_reply = {}
    for r in received["replies"]:
        first_reply.setdefault(int(r["thread"]), r["time"])
    board_times = [r["time"] for r in requests if r["method"] == "GET" and r["path"].startswith("/catalog/")]
    latencies, least = [], []
    cost = (board_cost if board_cost == board_cost else 0) / 1000.0
    for number, t in received["threads"].items():
        created = t["created"]
        if not any(0 <= created - s < 1 for s in spawns) or int(number) not in first_reply or t["board"] not in BOARDS:
            continue  # one of the forum's first threads, or one never answered
        latencies.append((first_reply[int(number)] - created) * 1000)
        next_board = min((b for b in board_times if b > created), default=None)
        if next_board is None:
            continue
        countdown_left = max(0.0, next_board - cost - created)
        index = BOARDS.index(t["board"])
        least.append((countdown_left + index * (1.0 + 1.2) + 0.2) * 1000)
    return latencies, least


if __name__ == "__main__":
    main()
