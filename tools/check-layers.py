#!/usr/bin/env python3
"""Measures the import arrows of the tree against its layer order.

Each program file belongs to a layer, counted from the ground floor up:

  0 base/            text operations, charset conversion, window handle, COM owners
  1 ui/              window definition, bindings, Controls, the window model
  1 browser/         the browser operations over the late-bound model
  2 browser/webkit/, browser/mshtml/   the engines
  3 core/, extras/   the monitoring core; banner, pictures, contact, skin
  4 app/             composition, entry and the two shells

Tests, benchmarks, fuzz targets and the test doubles (testing/: the
shared fakes, the in-memory engine, the conformance suite, the loader's
heap-backed address space) may include any layer; program code never
includes them. An arrow up is a program file that includes a header of a
higher layer, or a test double. Prints every such arrow and the count;
exits 1 when there is any (or more than N with --allow N).

  tools/check-layers.py [--allow N]
"""
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
LAYERS = [  # longest prefix first
    ("browser/webkit/", 2), ("browser/mshtml/", 2),
    ("base/", 0), ("ui/", 1), ("browser/", 1), ("core/", 3), ("extras/", 3), ("app/", 4),
]
DOUBLES = ("testing/", "tools/", "fuzz/")
TEST_PARTS = ("/tests/", "/bench/", "/fuzz/")


def is_double(path):
    return path.startswith(DOUBLES) or any(part in "/" + path for part in TEST_PARTS)


def layer(path):
    for prefix, rank in LAYERS:
        if path.startswith(prefix):
            return rank
    return None


def main():
    allow = 0
    if "--allow" in sys.argv:
        allow = int(sys.argv[sys.argv.index("--allow") + 1])
    files = subprocess.run(["git", "ls-files", "*.cpp", "*.h", "*.in"], cwd=ROOT, capture_output=True,
                           text=True, check=True).stdout.split()
    include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
    arrows = []
    for source in files:
        if is_double(source) or layer(source) is None:
            continue
        text = (ROOT / source).read_text(encoding="utf-8", errors="replace")
        for header in include.findall(text):
            if is_double(header):
                arrows.append((source, header, "a test double"))
                continue
            target = layer(header)
            if target is not None and target > layer(source):
                arrows.append((source, header, f"layer {layer(source)} -> {target}"))
    for source, header, why in arrows:
        print(f"up: {source} includes {header} ({why})")
    print(f"check-layers: {len(arrows)} arrow(s) up the layers (allowed {allow})")
    return 0 if len(arrows) <= allow else 1


if __name__ == "__main__":
    sys.exit(main())
