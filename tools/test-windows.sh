#!/usr/bin/env bash
# The Windows build: cross-compiles the program for 32-bit Windows (the
# release build, build-win32/) and the program with its tests for 64-bit
# Windows (build-win64/), then runs the 64-bit tests under Wine, packs the
# 64-bit test kit (tools/make-windows-kit.sh) for a real Windows PC and runs
# that kit's run-tests.cmd under Wine too, and checks the Windows workflow
# with actionlint.
# Where the machine can run 32-bit code and Wine's 32-bit part can be
# installed from the package registry, the 32-bit tests run too; where it
# cannot, this says so in one line. The
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
# A test program that crashes ends at once with its exception code, as on a
# Windows whose crash debugger cannot be started: Wine would otherwise start
# winedbg (also with no debugger named) and the program would end only when
# winedbg is done, seconds later, or at its time limit. The name given here
# is of no program, so starting it fails.
"$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
  /d brevane-no-crash-debugger.exe /f >/dev/null 2>&1 || true
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
# The workflow that runs the kits on Windows runners, checked here because
# no run of this machine's can start it.
tools/lint-workflows.sh || status=1
ctest --test-dir build-win64 --output-on-failure -j "$JOBS" || status=$?
"$WINESERVER" -k >/dev/null 2>&1 || true
tools/make-windows-kit.sh x86_64 | tail -1 || status=1
# The kit as a PC runs it: run-tests.cmd and its runner under Wine. With no
# HTML engine here the conformance program runs over the COM double.
kit_run() {
  (cd build-kit/brevane-windows-tests-x86_64 &&
    BREVANE_CONFORMANCE_CONTROL=double "$WINE" cmd /c run-tests.cmd --time-limit 600 </dev/null >/dev/null 2>&1)
  local code=$?
  grep -E '^(passed|failed|timed out) |programs passed' build-kit/brevane-windows-tests-x86_64/results.txt || true
  return $code
}
echo "test-windows: the 64-bit kit's run-tests.cmd under Wine:"
kit_run || status=1
"$WINESERVER" -k >/dev/null 2>&1 || true

# Wine's 32-bit part: only where this machine can run 32-bit code at all.
# A kernel without 32-bit support refuses every 32-bit program ("Exec
# format error"), however much of Wine's 32-bit part is installed, so a
# static 32-bit program of 93 bytes that only exits 0 is tried first.
# Where it runs and Wine's 32-bit loader is missing, wine32:i386 is installed
# from the package registry (BREVANE_WINE32=no skips that); where what was
# installed then cannot start a program, the machine is put back as it was:
# the packages this script added are purged and the architecture it added
# is removed. Where 32-bit code cannot run, nothing is installed.
runs_32bit_code() {
  local probe
  probe=$(mktemp)
  # ELF header, one loadable segment, and: mov eax,1; xor ebx,ebx; int 0x80.
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'\
'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'\
'\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  local ok=1
  "$probe" 2>/dev/null && ok=0
  rm -f "$probe"
  return $ok
}
wine32_loader() {
  for w in /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine; do
    if [ -x "$w" ]; then echo "$w"; return 0; fi
  done
  return 1
}
wine32_starts() {
  local loader
  loader=$(wine32_loader) || return 1
  timeout 120 "$loader" cmd /c exit </dev/null >/dev/null 2>&1
}
installed_packages() { dpkg-query -W -f='${Package}:${Architecture} ${db:Status-Abbrev}\n' | awk '$2 ~ /^ii/ {print $1}' | sort; }
try_wine32() {
  wine32_loader >/dev/null && return 0
  [ "${BREVANE_WINE32:-try}" != no ] || return 1
  local sudo="" added_arch=no before after
  [ "$(id -u)" = 0 ] || sudo=sudo
  before=$(installed_packages)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386 || return 1
    added_arch=yes
  fi
  timeout 300 $sudo apt-get update -qq >/dev/null 2>&1 || true
  if timeout 120 apt-get install -s -qq --no-install-recommends wine32:i386 >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive timeout 900 $sudo apt-get install -y -qq --no-install-recommends wine32:i386 \
      >/dev/null 2>&1 || true
  fi
  wine32_starts && return 0
  # Put the machine back: what this try added goes again.
  after=$(installed_packages)
  local added
  added=$(comm -13 <(echo "$before") <(echo "$after"))
  if [ -n "$added" ]; then
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq $added >/dev/null 2>&1 || true
  fi
  if [ $added_arch = yes ]; then
    $sudo dpkg --remove-architecture i386 >/dev/null 2>&1 || true
    timeout 300 $sudo apt-get update -qq >/dev/null 2>&1 || true
  fi
  return 1
}
if ! runs_32bit_code; then
  echo "test-windows: this machine's kernel cannot run 32-bit programs; nothing was installed and the 32-bit tests did not run here (the Windows workflow runs them)"
elif try_wine32; then
  WINE32=$(wine32_loader)
  tools/make-windows-kit.sh i686 | tail -1 || status=1
  "$WINE32" wineboot -i >/dev/null 2>&1 || true
  for t in build-kit/brevane-windows-tests-i686/*_tests.exe; do
    echo "== 32-bit $(basename "$t")"
    timeout 600 "$WINE32" "$t" --gtest_brief=1 </dev/null || status=1
  done
  "$WINESERVER" -k >/dev/null 2>&1 || true
else
  echo "test-windows: Wine's 32-bit part cannot be installed from this machine's package registry, or does not start; the machine was left as it was and the 32-bit tests did not run here (the Windows workflow runs them)"
fi
echo "test-windows: build $((built - start)) s, tests $(( $(date +%s) - built )) s"
exit $status
