#!/usr/bin/env python3
"""The real program answers the demo forum's two harder boards: one whose
thread links are relative (one written with target before href), and one
whose thread list sits in a frame after an advertising frame of another
origin. Both come out answered only when the browser reads the page as
Internet Explorer does.

Arguments: as e2e_test.py."""

import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import START_BUTTON, STOP_BUTTON, Program, wait_for  # noqa: E402
from e2e_test import Forum, build_program, gbk  # noqa: E402

RELATIVE_BOARD = "424005"
FRAMED_BOARD = "10150010"


def main():
    build_dir, template, forum_script = sys.argv[1:4]
    forum = Forum(forum_script)
    program = None
    try:
        executable = build_program(build_dir, template, forum.port)
        with tempfile.TemporaryDirectory() as scratch:
            program = Program(executable, scratch)
            boards = ["%s/catalog/%s.htm" % (forum.base, RELATIVE_BOARD),
                      "%s/catalog/%s.htm" % (forum.base, FRAMED_BOARD)]
            with open(os.path.join(scratch, "版块.ini"), "wb") as f:
                f.write(gbk("\r\n".join(boards)))
            with open(os.path.join(scratch, "回帖.ini"), "wb") as f:
                f.write(gbk("相对地址的回复\r\n框架页的回复"))
            program.start()
            program.focus()
            wait_for(lambda: forum.received()["logins"], 60, "the automatic login")
            program.wait_title("登录成功", 60)
            program.click(START_BUTTON)
            replies = wait_for(lambda: forum.received()["replies"][1:] and forum.received()["replies"], 90,
                               "a reply on each board")
            print("replies:", [(r["board"], r["thread"], r["content"]) for r in replies])
            assert [r["board"] for r in replies[:2]] == [RELATIVE_BOARD, FRAMED_BOARD], replies
            threads = forum.received()["threads"]
            for r in replies[:2]:
                assert threads[str(r["thread"])]["board"] == r["board"], r
            program.click(STOP_BUTTON)
            program.wait_showing("已停止监控", 30)
            program.key("Escape")
            assert program.wait_exit(10) == 0
    finally:
        if program is not None:
            program.kill()
        forum.stop()
    print("ok")


if __name__ == "__main__":
    main()
