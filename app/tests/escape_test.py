#!/usr/bin/env python3
"""Esc pressed in the boards box ends the real program at once with exit
code 0; so does Alt+F4. On the second page, what is typed into the replies
box is saved at once, and Esc there closes the program too."""

import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import BOARDS_BOX, REPLIES_BOX, SECOND_TAB, Program, wait_for  # noqa: E402


def main():
    executable = sys.argv[1]
    with tempfile.TemporaryDirectory() as scratch:
        program = Program(executable, scratch)
        program.start()
        program.focus()
        program.click(BOARDS_BOX)
        time.sleep(0.5)
        assert program.proc.poll() is None, "the program ended before Esc"
        program.key("Escape")
        code = program.wait_exit(10)
        assert code == 0, "exit code %s" % code

        program.start()
        program.focus()
        program.click(SECOND_TAB)
        program.click(REPLIES_BOX)
        program.key("ctrl+End")
        program.type("xyz")
        replies = os.path.join(scratch, "回帖.ini")
        wait_for(lambda: os.path.exists(replies) and open(replies, "rb").read().endswith(b"xyz"), 10,
                 "回帖.ini with the typed text")
        program.key("Escape")
        assert program.wait_exit(10) == 0

        program.start()
        program.focus()
        program.key("alt+F4")
        code = program.wait_exit(10)
        assert code == 0, "exit code after Alt+F4 %s" % code
    print("ok")


if __name__ == "__main__":
    main()
