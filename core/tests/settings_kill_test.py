#!/usr/bin/env python3
"""The boards file survives the program being killed while the user types.

The real program is started from a scratch folder, text is typed at the end
of the boards box, and the program is killed with SIGKILL at a random moment
of the typing, over and over. After every kill the boards file must hold a
complete content the box has had: the content it started with, followed by
some beginning of the typed text. After every start no temporary file of a
save may remain beside it (a start removes what crashed saves left).

Usage: settings_kill_test.py PROGRAM [KILLS] [SEED]"""

import os
import random
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "tests"))
from desktop import BOARDS_BOX, Program, wait_for  # noqa: E402

BOARDS = "版块.ini"
START = b"http://b/0"


def temporaries(folder):
    return sorted(n for n in os.listdir(folder) if ".tmp" in n)


def main():
    executable = sys.argv[1]
    kills = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else int(time.time())
    rng = random.Random(seed)
    print("seed %d, %d kills" % (seed, kills))
    began = time.time()
    with tempfile.TemporaryDirectory() as scratch:
        boards = os.path.join(scratch, BOARDS)
        with open(boards, "wb") as f:
            f.write(START)
        content = START
        program = Program(executable, scratch)
        left_after_kill = 0
        grew = 0
        for round_number in range(kills):
            program.start()
            left = temporaries(scratch)
            assert not left, "round %d: temporaries after the start: %s" % (round_number, left)
            program.focus()
            program.click(BOARDS_BOX)
            program.key("ctrl+End")
            typed = "|k%dabcdefghijklmn" % round_number
            typist = subprocess.Popen(["xdotool", "type", "--delay", "12", typed])
            time.sleep(rng.uniform(0.02, 0.25))
            program.proc.send_signal(signal.SIGKILL)
            program.proc.wait()
            # Killed in the middle of a key press, xdotool would leave the key
            # down and the display would repeat it into the next round.
            typist.wait(timeout=30)
            if temporaries(scratch):
                left_after_kill += 1
            with open(boards, "rb") as f:
                now = f.read()
            assert now.startswith(content), "round %d: %r lost the content %r" % (
                round_number, now, content)
            added = now[len(content):].decode("ascii")
            assert typed.startswith(added), "round %d: %r is not a typed beginning" % (
                round_number, now)
            grew += len(added) > 0
            content = now
        program.start()
        assert not temporaries(scratch), "temporaries after the last start"
        program.kill()
    print("ok: %d kills in %.1f s; the file grew in %d rounds; a temporary was left by %d kills"
          % (kills, time.time() - began, grew, left_after_kill))


if __name__ == "__main__":
    main()
