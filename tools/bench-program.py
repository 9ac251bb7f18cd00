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
  - CPU used while the title counts down (the program's process, and with its
    WebKit processes), in percent of one core;
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
TICK = os.sysconf("SC_CLK_TCK")


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def children(pid):
    out = subprocess.run(["pgrep", "-P", str(pid)], capture_output=True, text=True).stdout
    return [int(p) for p in out.split()]


def family_ticks(pid):
    total = cpu_ticks(pid)
    for c in children(pid):
        try:
            total += cpu_ticks(c)
        except OSError:
            pass
    return total


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
            wait_for(lambda: program.title() == "登录成功", 60, "login")
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
                wait_for(lambda: program.title() == "已停止监控", 120, "trial %d: stopped" % (n + 1), interval=0.02)
                figures.append(time.time() - t0)
                print("trial %d: Stop to stopped on a hung thread page: %.2f s" % (n + 1, figures[-1]), flush=True)
    finally:
        if program is not None:
            program.kill()
        forum.stop()
    print()
    print("Stop to stopped on a hung thread page: median %.2f s, max %.2f s over %d trials"
          % (statistics.median(figures), max(figures), len(figures)))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build_dir")
    ap.add_argument("--passes", type=int, default=20)
    ap.add_argument("--hung-page-stops", type=int, default=0, metavar="TRIALS",
                    help="measure Stop on thread pages whose script never returns, over TRIALS trials")
    args = ap.parse_args()
    if args.hung_page_stops > 0:
        hung_page_stops(args.build_dir, args.hung_page_stops)
        return
    forum = Forum(os.path.join(HERE, "demo-forum", "forum.py"))
    program = None
    try:
        exe = build_program(args.build_dir, os.path.join(ROOT, "app", "e2e_endpoints.cpp.in"), forum.port)
        with tempfile.TemporaryDirectory() as scratch:
            program = Program(exe, scratch)
            with open(os.path.join(scratch, "版块.ini"), "wb") as f:
                f.write("\r\n".join("%s/catalog/%s.htm" % (forum.base, b) for b in BOARDS).encode("gbk"))
            with open(os.path.join(scratch, "回帖.ini"), "wb") as f:
                f.write("基准测试回复一\r\n基准测试回复二\r\n基准测试回复三".encode("gbk"))
            program.start()
            pid = program.proc.pid
            program.focus()
            wait_for(lambda: program.title() == "登录成功", 60, "login")
            program.click(START_BUTTON)

            rss = []
            idle_main, idle_family = [], []
            for n in range(args.passes):
                # The countdown of this pass.
                wait_for(lambda: program.title() == "9秒后继续监控...", 120, "countdown of pass %d" % (n + 1),
                         interval=0.02)
                t0, m0, f0 = time.time(), cpu_ticks(pid), family_ticks(pid)
                wait_for(lambda: program.title() == "2秒后继续监控...", 15, "countdown end", interval=0.2)
                t1, m1, f1 = time.time(), cpu_ticks(pid), family_ticks(pid)
                idle_main.append((m1 - m0) / TICK / (t1 - t0) * 100)
                idle_family.append((f1 - f0) / TICK / (t1 - t0) * 100)
                rss.append(rss_kib(pid))
                if n % 2 == 0:
                    get(forum.base + "/_spawn")
                print("pass %2d: rss %d KiB, countdown cpu %.2f%% (with WebKit %.2f%%)"
                      % (n + 1, rss[-1], idle_main[-1], idle_family[-1]), flush=True)

            requests = forum.received()["requests"]
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
    print("boards measured: %d, postings measured: %d" % (len(board_gaps), len(posting_gaps)))
    print("cost of one board beyond its 1000 ms pause: %.0f ms (median)" % board_cost)
    print("cost of one posting beyond its 1200 ms of pauses: %.0f ms (median)" % posting_cost)
    print("CPU while counting down: program %.2f%% of one core (max %.2f%%), with WebKit processes %.2f%%"
          % (statistics.mean(idle_main), max(idle_main), statistics.mean(idle_family)))
    print("resident memory: first pass %d KiB, last pass %d KiB, max %d KiB"
          % (rss[0], rss[-1], max(rss)))


if __name__ == "__main__":
    main()
