#!/usr/bin/env bash
# The one test command: installs what it needs, configures, builds and runs
# every test (unit, engine, shell and end-to-end under Xvfb, and the Windows
# build under Wine when present).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
JOBS=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$JOBS"
# Shell and end-to-end tests need a display; give them a virtual one when
# there is none.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build --output-on-failure -j "$JOBS"
else
  ctest --test-dir build --output-on-failure -j "$JOBS"
fi
