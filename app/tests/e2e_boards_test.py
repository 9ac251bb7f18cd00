#!/usr/bin/env python3
"""The real program answers the demo forum's two harder boards: one whose
thread links are relative (one written with target before href), and one
whose thread list sits in a frame after an advertising frame of another
origin. Both come out answered only when the browser reads the page as
Internet Explorer does. Both are among the program's default boards, which
the test program builds on the demo forum's address, so the boards box is
left as the program fills it.

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
            with open(os.path.join(scratch, "回帖.ini"), "wb") as f:
                f.write(gbk("第一条回复\r\n第二条回复"))
            program.start()
            program.focus()
            wait_for(lambda: forum.received()["logins"], 60, "the automatic login")
            program.wait_title("登录成功", 60)
            program.click(START_BUTTON)
            harder = {RELATIVE_BOARD, FRAMED_BOARD}

            def answered_both():
                replies = forum.received()["replies"]
                return replies if harder <= {r["board"] for r in replies} else None
            replies = wait_for(answered_both, 150, "a reply on each of the two boards")
            print("replies:", [(r["board"], r["thread"], r["content"]) for r in replies])
            threads = forum.received()["threads"]
            for r in replies:
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
