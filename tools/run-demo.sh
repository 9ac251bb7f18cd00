#!/usr/bin/env bash
# Runs Brevane against the local demo forum.
#
# Builds a demo configuration in build-demo/ whose forum addresses point at
# the demo forum on 127.0.0.1 (port 8631, or BREVANE_DEMO_PORT), starts the
# forum, then the program. With a display the program runs as usual and the
# forum stops when the program's window is closed. Without a display the
# program runs under Xvfb: the script gives the window the focus (which logs
# in), clicks Start, lets the run go on for BREVANE_DEMO_SECONDS (default 40),
# saves a screenshot to build-demo/demo-screenshot.png and closes the window.
#
# The forum as real forums are, each on its own or together:
#   BREVANE_DEMO_HTTPS=1          over HTTPS with the forum's own test
#                                 certificate; the demo build accepts it for
#                                 127.0.0.1 alone (any other certificate is
#                                 checked as always)
#   BREVANE_DEMO_LATENCY_MS=200   every request answered that much later
#   BREVANE_DEMO_LATE_EDITOR=1    thread pages build their editor frame from
#                                 script after loading, after three requests
set -euo pipefail
cd "$(dirname "$0")/.."
PORT="${BREVANE_DEMO_PORT:-8631}"
NEW_THREAD_EVERY="${BREVANE_DEMO_NEW_THREAD_EVERY:-30}"
SECONDS_TO_RUN="${BREVANE_DEMO_SECONDS:-40}"
SCHEME=http
CERTIFICATE=""
FORUM_OPTIONS=()
if [ "${BREVANE_DEMO_HTTPS:-0}" = 1 ]; then
  SCHEME=https
  CERTIFICATE="$PWD/tools/demo-forum/test-certificate.pem"
  FORUM_OPTIONS+=(--https)
fi
if [ "${BREVANE_DEMO_LATENCY_MS:-0}" != 0 ]; then FORUM_OPTIONS+=(--latency-ms "$BREVANE_DEMO_LATENCY_MS"); fi
if [ "${BREVANE_DEMO_LATE_EDITOR:-0}" = 1 ]; then FORUM_OPTIONS+=(--late-editor); fi
BASE="${SCHEME}://127.0.0.1:${PORT}"

tools/install-deps.sh
cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBREVANE_TESTS=OFF -DBREVANE_BENCHMARKS=OFF \
  -DBREVANE_LOGIN_URL="${BASE}/" \
  -DBREVANE_BOARD_HOST="${BASE}" \
  -DBREVANE_ANNOUNCEMENT_URL="${BASE}/announcement" \
  -DBREVANE_CONTACT_URL="${BASE}/msgrd?V=1&Uin=10000&Site=brevane&Menu=yes" \
  -DBREVANE_DEMO_CERTIFICATE="${CERTIFICATE}"
cmake --build build-demo -j2 --target brevane

python3 tools/demo-forum/forum.py --port "$PORT" --new-thread-every "$NEW_THREAD_EVERY" "${FORUM_OPTIONS[@]}" >/dev/null &
FORUM=$!
trap 'kill "$FORUM" 2>/dev/null || true' EXIT
# The script's own requests trust the forum's test certificate, nothing else.
fetch() { python3 -c 'import ssl, sys, urllib.request; c = ssl.create_default_context(cafile=sys.argv[2]) if sys.argv[2] else None; sys.stdout.write(urllib.request.urlopen(sys.argv[1], timeout=5, context=c).read().decode())' "$1" "$CERTIFICATE"; }
for _ in $(seq 50); do
  fetch "${BASE}/_received" >/dev/null 2>&1 && break
  sleep 0.1
done
echo "demo forum on ${BASE}/ (boards ${BASE}/catalog/424021.htm ...; 424005 has relative links, 10150010 an advertising frame from ${SCHEME}://localhost:${PORT})${FORUM_OPTIONS[*]:+ with ${FORUM_OPTIONS[*]}}"

if [ -n "${DISPLAY:-}" ]; then
  build-demo/app/brevane
  exit 0
fi

SHOT="$PWD/build-demo/demo-screenshot.png"
export SECONDS_TO_RUN SHOT
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -e
  build-demo/app/brevane & PROGRAM=$!
  for _ in $(seq 100); do
    W=$(xdotool search --onlyvisible --pid "$PROGRAM" 2>/dev/null | head -1) && [ -n "$W" ] && break
    sleep 0.2
  done
  xdotool windowfocus --sync "$W"            # first activation: the login runs
  sleep 6
  # Start button: tab control at (-1, 355), button at (415, 157) 91 x 32 on it.
  xdotool mousemove --window "$W" $((-1 + 415 + 45)) $((355 + 157 + 16)) click 1
  sleep "$SECONDS_TO_RUN"
  import -window root "$SHOT"
  echo "title: $(xdotool getwindowname "$W")"
  xdotool key Escape
  wait "$PROGRAM"
'
echo "screenshot: $SHOT"
fetch "${BASE}/_received" | python3 -c 'import json,sys; d=json.load(sys.stdin); print("forum received", len(d["logins"]), "login(s) and", len(d["replies"]), "reply(ies); boards answered:", " ".join(sorted(set(r["board"] for r in d["replies"]))))'
