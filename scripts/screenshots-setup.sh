#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of the program on a real X server (Xvfb with the openbox window
# manager), captured from the server with xwd: the start-up logo, the live window
# with the simulator, the ComPort Setup dialog with its device list and the About
# box. Needs xvfb, openbox, x11-apps (xwd, xlogo), xdotool and imagemagick (convert).
#   scripts/screenshots-setup.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
build=$(cd "${1:-build/default}" && pwd)
out=$(mkdir -p "${2:-shots}" && cd "${2:-shots}" && pwd)
for tool in Xvfb openbox xwd xlogo xdotool convert; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d)
display=:$((100 + RANDOM % 400))
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
shot() { xwd -root -silent | convert xwd:- "$out/$1"; echo "$out/$1"; }
# Covering the screen once makes the X server ask every window for a full repaint.
expose() {
  xlogo -geometry 1280x900+0+0 >/dev/null 2>&1 &
  local cover=$!
  sleep 1
  kill "$cover"; wait "$cover" 2>/dev/null || true
  sleep 1
}
# Under Xvfb with openbox, Qt leaves a window opened after start-up unpainted until
# it grows well past its first size (a new backing store); a larger size brings it up.
settle() {
  local id
  id=$(xdotool search --sync --name "^$1\$" | head -1)
  xdotool windowsize "$id" "$2" "$3"
  sleep 1.5
}

cd "$work"
"$build/src/sim/q47v-sim" --ini WINQ47V.INI --quiet >sim.log 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do grep -q '^COM1=' WINQ47V.INI 2>/dev/null && break; sleep 0.1; done

# The start-up logo shows while the delay is calibrated (one to two seconds).
"$build/src/app/winq47v" >app.log 2>&1 &
app=$!
pids+=($app)
sleep 0.5
shot startup-logo.png
# A sweep of the polar picture takes a while.
sleep 25
expose
shot live-window.png
win=$(xdotool search --sync --name "WinQ47V Digital Sonar" | head -1)
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key --window "$win" alt+r
sleep 1.5
settle "ComPort Setup" 700 560
shot comport-setup.png
xdotool key Escape
sleep 0.5
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key --window "$win" alt+a
sleep 1.5
settle "About WINQ47V" 640 480
shot about-box.png
xdotool key Escape
