#!/usr/bin/env bash
# The Windows build: cross-compiles the program for 32-bit Windows (the
# release build, build-win32/) and the program with its tests for 64-bit
# Windows (build-win64/), then runs the 64-bit tests under Wine, and packs
# the 64-bit test kit (tools/make-windows-kit.sh) for a real Windows PC.
# Where Wine's 32-bit part can be installed from the package registry, the
# 32-bit tests run too; where it cannot, this says so in one line. The
# program lands in build-win32/app/brevane.exe (and build-win64/app/).
#
# Wine gets a scratch prefix of its own (initialised once, then reused) and
# no debug output. The window tests need a display: run this under xvfb-run
# when there is none (tools/test.sh does).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${JOBS:-$(nproc)}
start=$(date +%s)

WINE=""
for w in wine64 /usr/lib/wine/wine64 wine; do
  if command -v "$w" >/dev/null 2>&1; then WINE=$(command -v "$w"); break; fi
done
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1; then
  echo "test-windows: MinGW-w64 is not installed; skipping the Windows build" >&2
  exit 0
fi

cmake -S . -B build-win32 -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVANE_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchains/mingw-i686.cmake" \
  -DBREVANE_TESTS=OFF -DBREVANE_BENCHMARKS=OFF
cmake --build build-win32 -j "$JOBS"
# The Windows package: a .zip with brevane.exe.
(cd build-win32 && cpack -B packages)
ls build-win32/packages/*.zip

cmake -S . -B build-win64 -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVANE_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchains/mingw-x86_64.cmake" \
  -DBREVANE_TESTS=ON -DBREVANE_BENCHMARKS=OFF
cmake --build build-win64 -j "$JOBS"
built=$(date +%s)

if [ -z "$WINE" ]; then
  echo "test-windows: Wine is not installed; the Windows tests were built but not run" >&2
  exit 0
fi

export WINEPREFIX=${BREVANE_WINEPREFIX:-$ROOT/build-win64/wineprefix}
export WINEDEBUG=-all
# No Mono or Gecko installation prompts; the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
WINESERVER=$(dirname "$WINE")/wineserver
command -v "$WINESERVER" >/dev/null 2>&1 || WINESERVER=wineserver
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  # Windows not managed by an X window manager: with none running (Xvfb),
  # Wine would wait two seconds for one on every window it hides.
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  "$WINESERVER" -w || true
fi
# The Chinese font tools/install-deps.sh installs, placed in the prefix's
# own font folder so the window tests find a face for GB2312 whatever fonts
# the host's font configuration shows Wine.
CJK_FONT=/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc
if [ -f "$CJK_FONT" ] && [ ! -e "$WINEPREFIX/drive_c/windows/Fonts/wqy-zenhei.ttc" ]; then
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp "$CJK_FONT" "$WINEPREFIX/drive_c/windows/Fonts/"
fi
# Keep one wine server, with Wine's own background services, alive across
# the test executables. The services are started here with their output
# sent nowhere: started by the first test instead, they would inherit the
# test's output pipe and CTest would wait for them forever.
"$WINESERVER" -p || true
"$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true

status=0
ctest --test-dir build-win64 --output-on-failure -j "$JOBS" || status=$?
"$WINESERVER" -k >/dev/null 2>&1 || true
tools/make-windows-kit.sh x86_64 | tail -1 || status=1

# Wine's 32-bit part: optional. It is tried once from the package registry
# (BREVANE_WINE32=no skips the try); a registry whose 32-bit indexes do not
# fit together leaves the machine as it was and only this run without the
# 32-bit tests.
wine32_loader() {
  for w in /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine; do
    if [ -x "$w" ]; then echo "$w"; return 0; fi
  done
  return 1
}
try_wine32() {
  wine32_loader >/dev/null && return 0
  [ "${BREVANE_WINE32:-try}" != no ] || return 1
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo dpkg --add-architecture i386 || return 1
  timeout 300 $sudo apt-get update -qq >/dev/null 2>&1 || true
  if timeout 120 apt-get install -s -qq --no-install-recommends wine32:i386 >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive timeout 900 $sudo apt-get install -y -qq --no-install-recommends wine32:i386 \
      >/dev/null 2>&1 || true
  fi
  wine32_loader >/dev/null && return 0
  $sudo dpkg --remove-architecture i386 >/dev/null 2>&1 || true
  return 1
}
if try_wine32; then
  WINE32=$(wine32_loader)
  tools/make-windows-kit.sh i686 | tail -1 || status=1
  "$WINE32" wineboot -i >/dev/null 2>&1 || true
  for t in build-kit/brevane-windows-tests-i686/*_tests.exe; do
    echo "== 32-bit $(basename "$t")"
    "$WINE32" "$t" --gtest_brief=1 </dev/null || status=1
  done
  "$WINESERVER" -k >/dev/null 2>&1 || true
else
  echo "test-windows: Wine's 32-bit part cannot be installed from this machine's package registry; the 32-bit tests did not run here (the Windows workflow runs them)"
fi
echo "test-windows: build $((built - start)) s, tests $(( $(date +%s) - built )) s"
exit $status
