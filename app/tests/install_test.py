#!/usr/bin/env python3
"""The installed program: cmake --install into a scratch prefix puts the
program, its desktop entry and its icon in their usual places. Run from a
writable prefix, the program keeps its settings beside itself; run from a
read-only prefix (as an installed copy is), what is typed into the boards box
is saved in $XDG_CONFIG_HOME/brevane instead."""

import os
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import BOARDS_BOX, Program, wait_for  # noqa: E402

BOARDS_FILE = "版块.ini"


def make_read_only(root, read_only):
    for folder, dirs, files in os.walk(root):
        for name in dirs + files + [""]:
            path = os.path.join(folder, name) if name else folder
            mode = os.stat(path).st_mode
            os.chmod(path, mode & ~0o222 if read_only else mode | stat.S_IWUSR)


def type_into_boards(program_path, home, config, marker):
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=config)
    program = Program(program_path, os.path.dirname(program_path), env=env, log_directory=home)
    program.start()
    try:
        program.focus()
        program.click(BOARDS_BOX)
        program.key("ctrl+End")
        program.type(marker)
        return program
    except Exception:
        program.kill()
        raise


def main():
    build = sys.argv[1]
    with tempfile.TemporaryDirectory() as scratch:
        prefix = os.path.join(scratch, "prefix")
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        program = os.path.join(prefix, "bin", "brevane")
        for path in (program, os.path.join(prefix, "share", "applications", "brevane.desktop"),
                     os.path.join(prefix, "share", "icons", "hicolor", "scalable", "apps", "brevane.svg")):
            assert os.path.isfile(path), "not installed: " + path
        assert os.access(program, os.X_OK), "the installed program is not executable"
        entry = open(os.path.join(prefix, "share", "applications", "brevane.desktop")).read()
        assert "Exec=brevane" in entry and "Icon=brevane" in entry, entry

        home = os.path.join(scratch, "home")
        config = os.path.join(scratch, "config")
        os.makedirs(home)
        os.makedirs(config)
        # Read-only, as an installed copy is: the settings go to the user's
        # configuration folder.
        make_read_only(prefix, True)
        try:
            running = type_into_boards(program, home, config, "installed-copy")
            saved = os.path.join(config, "brevane", BOARDS_FILE)
            try:
                wait_for(lambda: os.path.exists(saved) and open(saved, "rb").read().endswith(b"installed-copy"),
                         20, saved + " with the typed text")
            finally:
                running.kill()
            assert not os.path.exists(os.path.join(prefix, "bin", BOARDS_FILE))
            # Started again, the program reads them back from there.
            running = type_into_boards(program, home, config, "+again")
            try:
                wait_for(lambda: open(saved, "rb").read().endswith(b"installed-copy+again"), 20,
                         "the saved boards read back and extended")
            finally:
                running.kill()
        finally:
            make_read_only(prefix, False)
    print("ok")


if __name__ == "__main__":
    main()
