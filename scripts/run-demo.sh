#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `make run`: starts the simulator (q47v-sim) and the program (winq47v) connected to
# it, live, in ./demo with its own WINQ47V.INI. Without a display the same live
# session runs under Xvfb for a fixed time and leaves a screen capture, a short
# recording and a capture of that recording played back in ./demo.
set -euo pipefail
build=${1:-build/default}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
sim="$build/src/sim/q47v-sim"
app="$build/src/app/winq47v"
demo_app="$build/src/app/winq47v-demo"
seconds=${Q47V_DEMO_SECONDS:-10}

for exe in "$sim" "$app" "$demo_app"; do
  [ -x "$exe" ] || { echo "run-demo: $exe is missing; build first (make build)" >&2; exit 1; }
done

demo="$root/demo"
mkdir -p "$demo"
cd "$demo"

# The simulator writes its pty paths into the demo WINQ47V.INI (other settings kept).
rm -f sim.log
"$sim" --ini "$demo/WINQ47V.INI" --quiet >sim.log 2>&1 &
sim_pid=$!
cleanup() { kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT INT TERM
for _ in $(seq 1 50); do
  grep -q '^COM1=' "$demo/WINQ47V.INI" 2>/dev/null && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "run-demo: the simulator stopped:" >&2; cat sim.log >&2; exit 1; }
  sleep 0.1
done
echo "Simulator running (pid $sim_pid): $(tr '\n' ' ' <sim.log)"

# The demo is live: start in the HEAD data source whatever the last session left.
sed -i 's/^RunMode=.*/RunMode=0/' "$demo/WINQ47V.INI"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting winq47v in $demo (close the window to end the demo)."
  "$app"
  exit 0
fi

command -v xvfb-run >/dev/null || { echo "run-demo: no display and no xvfb-run (install xvfb)" >&2; exit 1; }
echo "No display: running the live session under Xvfb for $seconds s."
rm -f demo-recording.47v demo-live.png demo-playback.png
xvfb-run -a -s "-screen 0 1024x768x24" \
  "$demo_app" --seconds "$seconds" --record "$demo/demo-recording.47v" --capture "$demo/demo-live.png"
cleanup
trap - EXIT INT TERM
if [ -s demo-recording.47v ]; then
  # Played back in a folder of its own, so that the demo settings stay live.
  mkdir -p playback
  cp WINQ47V.INI playback/
  (cd playback && xvfb-run -a -s "-screen 0 1024x768x24" \
    "$demo_app" --seconds 4 --play "$demo/demo-recording.47v" --capture "$demo/demo-playback.png")
fi
echo
echo "Screen capture of the live window:  $demo/demo-live.png"
echo "Recording of the live pings:        $demo/demo-recording.47v ($(stat -c %s demo-recording.47v 2>/dev/null || echo 0) bytes)"
echo "The recording played back (FILE):   $demo/demo-playback.png"
echo "Settings of the session:            $demo/WINQ47V.INI"
