#!/usr/bin/env python3
"""A whole run of the real program against the demo forum on loopback:
automatic login at first activation, Start clicked like a user, replies
received by the forum in turn from the replies box, the same thread not
answered twice, the title sequence, Stop, the boards box saved as GBK at
once and loaded again after a restart.

Arguments: the build directory, the template of the test program's
endpoints, the demo forum script. The forum runs on a free port; the test
program is rebuilt with that port (one small file) before it starts."""

import json
import os
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import BOARDS_BOX, START_BUTTON, STOP_BUTTON, Program, wait_for  # noqa: E402

REPLY_1 = "第一条回复<b>粗体</b>"
REPLY_2 = "第二条回复"


def gbk(text):
    return text.encode("gbk")


class Forum:
    def __init__(self, script):
        self.proc = subprocess.Popen([sys.executable, script, "--port", "0", "--new-thread-every", "0"],
                                     stdout=subprocess.PIPE, text=True)
        self.port = int(self.proc.stdout.readline())
        self.base = "http://127.0.0.1:%d" % self.port

    def received(self):
        with urllib.request.urlopen(self.base + "/_received", timeout=10) as r:
            return json.loads(r.read().decode("utf-8"))

    def stop(self):
        self.proc.kill()
        self.proc.wait()


def build_program(build_dir, template, port, certificate=None):
    """The test program pointed at the forum on the port: over plain HTTP,
    or over HTTPS accepting the forum's certificate when one is named."""
    target = os.path.join(build_dir, "e2e", "e2e_endpoints.cpp")
    with open(template, encoding="utf-8") as f:
        text = f.read().replace("@DEMO_PORT@", str(port))
    if certificate:
        text = (text.replace("@DEMO_SCHEME@", "https")
                .replace("@DEMO_CERTIFICATE@", certificate.replace("\\", "\\\\").replace('"', '\\"')))
    old = open(target, encoding="utf-8").read() if os.path.exists(target) else None
    if old != text:
        with open(target, "w", encoding="utf-8") as f:
            f.write(text)
    subprocess.run(["cmake", "--build", build_dir, "--target", "brevane_e2e"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(build_dir, "app", "brevane_e2e")


def main():
    build_dir, template, forum_script = sys.argv[1:4]
    forum = Forum(forum_script)
    program = None
    try:
        executable = build_program(build_dir, template, forum.port)
        with tempfile.TemporaryDirectory() as scratch:
            program = Program(executable, scratch)
            boards_ini = os.path.join(scratch, "版块.ini")
            replies_ini = os.path.join(scratch, "回帖.ini")
            boards = ["%s/catalog/424021.htm?spm=0.0.0.0.g6QCdH" % forum.base,
                      "%s/catalog/424022.htm?spm=0.0.0.0.g6QCdH" % forum.base]
            with open(boards_ini, "wb") as f:
                f.write(gbk("\r\n".join(boards)))
            with open(replies_ini, "wb") as f:
                f.write(gbk(REPLY_1 + "\r\n" + REPLY_2))

            program.start()
            # A user's click on the window gives it the focus: first activation.
            program.focus()
            wait_for(lambda: forum.received()["logins"], 60, "the automatic login")
            program.wait_title("登录成功", 60)
            assert forum.received()["logins"][0]["fields"].get("remember") == "on"

            program.click(START_BUTTON)
            first = wait_for(lambda: forum.received()["replies"], 60, "the first reply")[0]
            assert first["content"] == REPLY_1, first
            assert first["board"] == "424021", first
            second = wait_for(lambda: forum.received()["replies"][1:], 60, "the second reply")[0]
            assert second["content"] == REPLY_2, second
            assert second["board"] == "424022", second
            # The second board's thread stays unanswered on the page; the next
            # pass finds it again and must not answer it a second time.
            program.wait_title("此贴已浏览,避免重新回复...", 60)
            replies = forum.received()["replies"]
            assert len(replies) == 2, replies

            program.click(STOP_BUTTON)
            program.wait_showing("已停止监控", 30)
            titles = program.titles()
            print("titles:", titles)
            expected = ["正在登录...", "登录成功", "监控[1]...", "回贴[1]..." + REPLY_1, "监控[2]...",
                        "回贴[2]..." + REPLY_2, "10秒后继续监控...", "1秒后继续监控...", "监控[1]...",
                        "监控[2]...", "此贴已浏览,避免重新回复...", "已停止监控"]
            position = 0
            for t in expected:
                assert t in titles[position:], "title %r not seen in order; titles %r" % (t, titles)
                position = titles.index(t, position) + 1
            countdown = [t for t in titles if t.endswith("秒后继续监控...")]
            assert countdown[:10] == ["%d秒后继续监控..." % n for n in range(10, 0, -1)], countdown

            # The boards box is enabled again; what the user types is saved at once.
            program.click(BOARDS_BOX)
            program.key("ctrl+End")
            added = "%s/catalog/424015.htm?版=1" % forum.base
            before = open(boards_ini, "rb").read()
            program.key("Return")
            program.type(added[:-4])
            clipboard = program.paste(added[-4:])
            expect = gbk("\r\n".join(boards + [added]))
            try:
                wait_for(lambda: open(boards_ini, "rb").read() == expect, 10, "版块.ini with the typed line")
            except AssertionError:
                print("版块.ini holds:", open(boards_ini, "rb").read().decode("gbk", "replace"))
                raise
            finally:
                clipboard.kill()
            assert before != expect

            program.key("Escape")
            assert program.wait_exit(10) == 0

            # After a restart the file is loaded into the box and written back
            # from it unchanged.
            stamp = os.stat(boards_ini).st_mtime_ns
            time.sleep(0.05)
            program.start()
            wait_for(lambda: os.stat(boards_ini).st_mtime_ns != stamp, 20, "版块.ini rewritten after loading")
            assert open(boards_ini, "rb").read() == expect
            assert open(replies_ini, "rb").read() == gbk(REPLY_1 + "\r\n" + REPLY_2)
            program.focus()
            program.key("Escape")
            assert program.wait_exit(10) == 0
    finally:
        if program is not None:
            program.kill()
        forum.stop()
    print("ok")


if __name__ == "__main__":
    main()
