#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of what a user sees, read back from an X server (never painted by the
# program for the purpose): the program live against the simulator on a private
# Xvfb with the openbox window manager, driven with xdotool.
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
# Needs xvfb, openbox, xdotool, x11-apps (xwd) and imagemagick (convert).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build/default}" && pwd)
out=$(mkdir -p "${2:-shots}" && cd "${2:-shots}" && pwd)
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
display=":$((50 + $$ % 40))"
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display
openbox --sm-disable >/dev/null 2>&1 &
sleep 1
printf '[Settings]\nRunMode=0\nRange=5\nGridMode=0\nSpeed=4\nAzimuthDriveEnable=1\nAzimuthWindow=1\n' > WINQ47V.INI
printf '[Orientation Module Settings]\nEnableOrientationModule=1\n' >> WINQ47V.INI
"$build/src/sim/q47v-sim" --ini WINQ47V.INI --quiet --heads 0x10,0x13 >sim.log 2>&1 &
for _ in $(seq 50); do grep -q '^COM1=' WINQ47V.INI && break; sleep 0.1; done
"$build/src/app/winq47v" >app.log 2>&1 &
app=$!
sleep 8
shot() { import -window root "$out/$1.png"; echo "$out/$1.png"; }
win=$(xdotool search --name '^WinQ47V Digital Sonar' | head -1)
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep "${3:-1}"; }
shot live-sector
# Misc > Diagnostics (Alt+M, D) and Heads > Scan For Connected Heads.
xdotool key --window "$win" alt+m; sleep 0.5; xdotool key d; sleep 1.5
shot tool-windows
# Heads > Scan For Connected Heads (Ctrl+Shift+H) with two heads on the line.
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key --window "$win" ctrl+shift+h; sleep 7
shot head-scan
xdotool key --window "$win" ctrl+shift+h; sleep 1
# The Mode arrow (up) steps Sector -> Polar -> SS.
click 758 107 6
shot live-polar
click 758 107 6
shot live-sidescan
xdotool key --window "$win" r 2 0; sleep 1
shot range-entry
xdotool key --window "$win" Escape
xdotool windowsize "$win" 1500 950 2>/dev/null || true
xdotool key --window "$win" super+Up 2>/dev/null || true
wmctrl -r 'WinQ47V Digital Sonar' -b add,maximized_vert,maximized_horz 2>/dev/null || true
sleep 2
shot maximised
kill -TERM "$app"
wait "$app" || true
# Playback of a recording from the repository.
sed -i 's/^RunMode=.*/RunMode=1/' WINQ47V.INI
"$build/src/app/winq47v" "$root/tests/data/imaging/harbour_polar.47V" >app2.log 2>&1 &
app=$!
sleep 3
# Without a file argument the open dialog asks: type the path.
if xdotool search --name 'Open a Sonar File For Playback' >/dev/null 2>&1; then
  xdotool type "$root/tests/data/imaging/harbour_polar.47V"; xdotool key Return
fi
sleep 6
shot playback
kill -TERM "$app"
wait "$app" || true
