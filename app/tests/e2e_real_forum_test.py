#!/usr/bin/env python3
"""The real program on a forum as unkind as real ones: the demo forum over
HTTPS (its own test certificate, which the test program accepts for
127.0.0.1 alone), every request answered 200 ms late, and thread pages
whose editor frame their script builds after the load event and three
requests of its own. Every zero-reply thread is answered once, with the
reply text due in turn, and no reply arrives empty; the moderated thread,
which stays at zero replies, is found again and not answered twice. A
board of the same forum reached as localhost, for which the certificate is
not accepted, fails to load as an unreachable one: no request of it reaches
the forum, and the run goes on to the next board.

Arguments: the build directory, the template of the test program's
endpoints, the demo forum script."""

import json
import os
import ssl
import subprocess
import sys
import tempfile
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import START_BUTTON, STOP_BUTTON, Program, wait_for  # noqa: E402
from e2e_test import build_program  # noqa: E402

REPLIES = ["第一条回复<b>粗体</b>", "第二条回复"]
BOARDS = ["424021", "424022"]
REFUSED_BOARD = "424015"
LATENCY_MS = 200


class HttpsForum:
    def __init__(self, script):
        self.certificate = os.path.join(os.path.dirname(os.path.abspath(script)), "test-certificate.pem")
        self.proc = subprocess.Popen([sys.executable, script, "--port", "0", "--new-thread-every", "0",
                                      "--https", "--latency-ms", str(LATENCY_MS), "--late-editor"],
                                     stdout=subprocess.PIPE, text=True)
        self.port = int(self.proc.stdout.readline())
        self.base = "https://127.0.0.1:%d" % self.port
        # The test trusts the forum's certificate for its own requests only.
        self.context = ssl.create_default_context(cafile=self.certificate)

    def get(self, path):
        with urllib.request.urlopen(self.base + path, timeout=10, context=self.context) as r:
            return r.read().decode("utf-8")

    def received(self):
        return json.loads(self.get("/_received"))

    def board_visits(self, board):
        path = "/catalog/%s.htm" % board
        return sum(1 for r in self.received()["requests"] if r["path"] == path)

    def stop(self):
        self.proc.kill()
        self.proc.wait()


def main():
    build_dir, template, forum_script = sys.argv[1:4]
    forum = HttpsForum(forum_script)
    program = None
    try:
        executable = build_program(build_dir, template, forum.port, forum.certificate)
        with tempfile.TemporaryDirectory() as scratch:
            program = Program(executable, scratch)
            with open(os.path.join(scratch, "版块.ini"), "wb") as f:
                refused = "https://localhost:%d/catalog/%s.htm" % (forum.port, REFUSED_BOARD)
                boards = [refused] + ["%s/catalog/%s.htm" % (forum.base, b) for b in BOARDS]
                f.write("\r\n".join(boards).encode("gbk"))
            with open(os.path.join(scratch, "回帖.ini"), "wb") as f:
                f.write("\r\n".join(REPLIES).encode("gbk"))
            program.start()
            program.focus()
            wait_for(lambda: forum.received()["logins"], 60, "the automatic login over HTTPS")
            program.wait_title("登录成功", 60)
            program.click(START_BUTTON)

            # First pass: the zero-reply thread of each board. Then a new
            # one on every board, answered on the next pass.
            wait_for(lambda: len(forum.received()["replies"]) >= 2, 120, "a reply on each board")
            forum.get("/_spawn")
            wait_for(lambda: len(forum.received()["replies"]) >= 4, 120, "a reply to each new thread")
            # A further whole pass: the moderated thread is seen again.
            visits = forum.board_visits(BOARDS[0])
            wait_for(lambda: forum.board_visits(BOARDS[0]) > visits, 60, "another pass over the boards")
            program.wait_title("此贴已浏览,避免重新回复...", 30)
            program.click(STOP_BUTTON)
            program.wait_title("已停止监控", 60)

            received = forum.received()
            replies = received["replies"]
            print("replies:", [(r["board"], r["thread"], r["content"]) for r in replies])
            assert all(r["content"] for r in replies), "an empty reply was posted: %r" % replies
            assert [r["board"] for r in replies] == BOARDS * 2, replies
            assert [r["content"] for r in replies] == REPLIES * 2, replies
            assert not [r for r in received["requests"] if REFUSED_BOARD in r["path"]], received["requests"]
            answered = [r["thread"] for r in replies]
            assert len(set(answered)) == len(answered), "a thread answered twice: %r" % answered
            # Every thread of the boards now has replies, but the moderated one,
            # which was answered once.
            for number, thread in received["threads"].items():
                if thread["board"] in BOARDS and thread["replies"] == 0:
                    assert answered.count(int(number)) == 1, (number, answered)
            program.key("Escape")
            assert program.wait_exit(10) == 0
    finally:
        if program is not None:
            program.kill()
        forum.stop()
    print("ok")


if __name__ == "__main__":
    main()
