#!/usr/bin/env bash
# The Windows test kit: every Windows test program of a MinGW build, the
# program they start (brevane.exe), the runner that gives each a time limit
# (brevane-kit-runner.exe), the conformance fixtures and run-tests.cmd, one
# .zip per architecture (made by CMake's own archive mode, so no zip tool is
# needed). On any Windows 10 or 11 PC: unzip it and run run-tests.cmd; the
# conformance suite then runs on the real WebBrowser control, and
# results.txt holds one line per program and the "record:" lines only
# Windows shows.
#
#   tools/make-windows-kit.sh [x86_64] [i686]     (default: both)
#
# Builds into build-win64/ (x86_64) and build-win32-tests/ (i686) and writes
# build-kit/brevane-windows-tests-<arch>.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${JOBS:-$(nproc)}
ARCHES=("$@")
[ ${#ARCHES[@]} -gt 0 ] || ARCHES=(x86_64 i686)
mkdir -p build-kit

for arch in "${ARCHES[@]}"; do
  case $arch in
    x86_64) build=build-win64 ;;
    i686) build=build-win32-tests ;;
    *) echo "make-windows-kit: unknown architecture $arch" >&2; exit 2 ;;
  esac
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVANE_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchains/mingw-$arch.cmake" \
    -DBREVANE_TESTS=ON -DBREVANE_BENCHMARKS=OFF >/dev/null
  cmake --build "$build" -j "$JOBS"

  name=brevane-windows-tests-$arch
  stage=build-kit/$name
  rm -rf "$stage" "build-kit/$name.zip"
  mkdir -p "$stage/conformance"
  # The common-controls test reads the manifest from the source tree; every
  # other test program carries what it needs.
  # (Not from the Wine prefix kept in the build folder, where the kit's own
  # check leaves its sample programs.)
  find "$build" -path "$build/wineprefix" -prune -o -name '*_tests.exe' ! -name 'win32_common_controls_tests.exe' \
    -exec cp {} "$stage/" \;
  cp "$build/app/brevane.exe" "$build/tools/windows-kit/brevane-kit-runner.exe" \
    "$build/tools/windows-kit/brevane-kit-sample.exe" "$stage/"
  cp -r testing/conformance/pages "$stage/conformance/"
  sed 's/$/\r/' tools/windows-kit/run-tests.cmd >"$stage/run-tests.cmd"
  (cd build-kit && cmake -E tar cf "$name.zip" --format=zip "$name")
  echo "make-windows-kit: build-kit/$name.zip ($(find "$stage" -name '*.exe' | wc -l) test programs)"
done
