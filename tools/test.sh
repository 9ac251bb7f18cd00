#!/usr/bin/env bash
# The one test command: installs what it needs, configures, builds and runs
# every test: the layer check, unit, engine, shell, WebKit and end-to-end tests of the Linux
# program (under Xvfb when there is no display), the Windows build with its
# tests under Wine, and short fuzz runs.
#
#   tools/test.sh            everything
#   FUZZ_SECONDS=0 tools/test.sh   skip the fuzz runs
set -uo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh || exit 1
JOBS=$(nproc)
FUZZ_SECONDS=${FUZZ_SECONDS:-10}

# Tests that need a display get a virtual one when there is none.
with_display() {
  if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  else
    "$@"
  fi
}

status=0
step() {
  local name=$1; shift
  local begin; begin=$(date +%s)
  echo "==== $name"
  if "$@"; then
    echo "==== $name: passed ($(( $(date +%s) - begin )) s)"
  else
    echo "==== $name: FAILED ($(( $(date +%s) - begin )) s)"
    status=1
  fi
}

# The main build is a Release build, the type most users pick; the portable
# unit suites run once more in a Debug build (assertions on, no optimiser),
# without the desktop program or the benchmarks, to keep it short.
linux_build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVANE_WERROR=ON && cmake --build build -j "$JOBS"
}
debug_unit_tests() {
  cmake -S . -B build-debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBREVANE_WERROR=ON \
    -DBREVANE_GUI=OFF -DBREVANE_BENCHMARKS=OFF &&
    cmake --build build-debug -j "$JOBS" &&
    ctest --test-dir build-debug --output-on-failure -j "$JOBS" -L unit
}
# The end-to-end runs drive a real window and a real forum, one at a time;
# they follow the title through every change the X server receives, so
# they need no retry, under load neither.
linux_tests() {
  with_display ctest --test-dir build --output-on-failure -j "$JOBS" -LE e2e &&
    with_display ctest --test-dir build --output-on-failure -L e2e
}
# The .deb made from the install rules (the Windows .zip: tools/test-windows.sh).
packages() { (cd build && cpack -B packages) && ls build/packages/*.deb; }
windows() { with_display tools/test-windows.sh; }
fuzz() { tools/fuzz.sh "$FUZZ_SECONDS"; }

# Import arrows against the layer order: none allowed.
step "Layers" tools/check-layers.py
step "Linux build" linux_build || true
if [ $status -eq 0 ]; then step "Linux tests" linux_tests; fi
if [ $status -eq 0 ]; then step "Linux package" packages; fi
step "Debug build and unit tests" debug_unit_tests
step "Windows build and tests under Wine" windows
if [ "$FUZZ_SECONDS" != 0 ]; then step "Fuzz runs (${FUZZ_SECONDS} s each)" fuzz; fi
exit $status
