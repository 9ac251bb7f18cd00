#!/usr/bin/env python3
"""Finds what wakes the program's process tree while its title counts down.

  xvfb-run -a -s "-screen 0 1280x1024x24" tools/idle-probe.py BUILD_DIR [--passes 4] [--seconds 6]
      [--during 'perf record -g -e cpu-clock -p {web} -o /tmp/web.data -- sleep {seconds}']

The program runs on the demo forum as tools/bench-program.py runs it; every
other pass gets new unanswered threads, so the countdown alternates between
a thread page with its editor shown and a board page. From 1 s into each
countdown, for --seconds, it prints every thread of every process of the
tree that ran: CPU in percent of one core (scheduler nanoseconds) and
voluntary context switches per second, the wake-ups. --during runs a
command over that window; {main}, {web}, {network}, {pids} and {seconds}
stand for the program's process, the web process, the network process, all
of them (comma-separated) and the window's length.
"""

import argparse
import importlib.util
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location("bench_program", os.path.join(HERE, "bench-program.py"))
bench = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(bench)


def threads(pid):
    """{(pid, process name, tid, thread name): (run ns, voluntary switches)}"""
    out = {}
    for p in [pid] + bench.descendants(pid):
        try:
            pname = open("/proc/%d/comm" % p).read().strip()
            tids = os.listdir("/proc/%d/task" % p)
        except OSError:
            continue
        for t in tids:
            try:
                name = open("/proc/%d/task/%s/comm" % (p, t)).read().strip()
                ns = int(open("/proc/%d/task/%s/schedstat" % (p, t)).read().split()[0])
                status = open("/proc/%d/task/%s/status" % (p, t)).read()
                switches = int(status.split("voluntary_ctxt_switches:")[1].split()[0])
            except (OSError, IndexError, ValueError):
                continue
            out[(p, pname, int(t), name)] = (ns, switches)
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build_dir")
    ap.add_argument("--passes", type=int, default=4)
    ap.add_argument("--seconds", type=float, default=6.0)
    ap.add_argument("--during", default="")
    args = ap.parse_args()
    print("machine: %s; at the start: %s" % (bench.machine(), bench.load()), flush=True)
    forum = bench.Forum(os.path.join(HERE, "demo-forum", "forum.py"))
    program = None
    try:
        exe = bench.build_program(args.build_dir, os.path.join(bench.ROOT, "app", "e2e_endpoints.cpp.in"), forum.port)
        with tempfile.TemporaryDirectory() as scratch:
            program = bench.Program(exe, scratch)
            bench.write_settings(scratch, forum)
            program.start()
            pid = program.proc.pid
            program.focus()
            program.wait_showing("登录成功", 60, "login")
            program.click(bench.START_BUTTON)
            for n in range(args.passes):
                program.wait_showing("9秒后继续监控...", 120, "countdown")
                time.sleep(1.0)
                before, t0 = threads(pid), time.monotonic()
                helper = None
                if args.during:
                    names = {p: open("/proc/%d/comm" % p).read().strip()
                             for p in [pid] + bench.descendants(pid) if os.path.exists("/proc/%d" % p)}
                    web = [p for p, c in names.items() if c.startswith("WebKitWebProces")]
                    network = [p for p, c in names.items() if c.startswith("WebKitNetworkPr")]
                    command = args.during.format(main=pid, web=web[0] if web else 0,
                                                 network=network[0] if network else 0,
                                                 pids=",".join(map(str, names)), seconds=args.seconds, n=n + 1)
                    helper = subprocess.Popen(command, shell=True)
                time.sleep(args.seconds)
                after, t1 = threads(pid), time.monotonic()
                if helper is not None:
                    helper.wait()
                span = t1 - t0
                rows, total = [], 0.0
                for key, (ns, switches) in after.items():
                    ns0, switches0 = before.get(key, (0, 0))
                    cpu = (ns - ns0) / 1e9 / span * 100
                    wakes = (switches - switches0) / span
                    total += cpu
                    if cpu > 0.001 or wakes > 0.05:
                        rows.append((cpu, wakes, key))
                page = bench.shown_page(forum.received()["requests"]) + " page"
                print("pass %d (%s): tree %.3f%% of one core" % (n + 1, page, total), flush=True)
                for cpu, wakes, key in sorted(rows, reverse=True):
                    print("   %7.3f%%  %6.2f wake-ups/s  %s[%d]/%s[%d]" % (cpu, wakes, key[1], key[0], key[3], key[2]))
                if n % 2 == 0:
                    bench.get(forum.base + "/_spawn")
    finally:
        if program is not None:
            program.kill()
        forum.stop()


if __name__ == "__main__":
    main()
