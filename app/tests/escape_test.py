#!/usr/bin/env python3
"""Esc pressed in the boards box ends the real program at once with exit
code 0; so does Alt+F4."""

import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import BOARDS_BOX, Program  # noqa: E402


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
        program.key("alt+F4")
        code = program.wait_exit(10)
        assert code == 0, "exit code after Alt+F4 %s" % code
    print("ok")


if __name__ == "__main__":
    main()
