#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of the survey dialogs as a user meets them, read back from an X server:
# the program live against the simulator on a private Xvfb with openbox, the
# dialogs opened from the Profile menu with xdotool.
#   scripts/survey_screenshots.sh [BUILD_DIR] [OUT_DIR]
# Needs xvfb, openbox, xdotool and imagemagick (import).
set -euo pipefail
build=$(cd "${1:-build/default}" && pwd)
out=$(mkdir -p "${2:-shots}" && cd "${2:-shots}" && pwd)
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
display=":$((50 + $$ % 40))"
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display
openbox --sm-disable >/dev/null 2>&1 &
sleep 1
printf '[Settings]\nRunMode=0\nRange=6\nGridMode=0\nSpeed=4\nSectorSectorSize=90\nAzimuthDriveEnable=1\nAzimuthWindow=0\n' > WINQ47V.INI
printf 'ProfileChainage=125.5\nProfileElevation=-2.25\nProfileDredgeDepth=11.0\nAutoProfileBMP=0\n' >> WINQ47V.INI
printf '[Orientation Module Settings]\nEnableOrientationModule=0\n' >> WINQ47V.INI
"$build/src/sim/q47v-sim" --ini WINQ47V.INI --quiet --no-gps --scene channel >sim.log 2>&1 &
for _ in $(seq 50); do grep -q '^COM1=' WINQ47V.INI && break; sleep 0.1; done
"$build/src/app/winq47v" >app.log 2>&1 &
app=$!
sleep 6
win=$(xdotool search --name '^WinQ47V Digital Sonar' | head -1)
shot() { import -window root "$out/$1.png"; echo "$out/$1.png"; }
# The dialogs come from the comm thread's next turn; Escape cancels each.
menu() {
  xdotool windowactivate --sync "$win" 2>/dev/null || true
  xdotool key --window "$win" alt+p; sleep 0.5
  for k in "$@"; do xdotool key "$k"; sleep 0.4; done
  sleep 1.5
}
menu a v
shot survey-vertical-scan
# With neither file chosen the save confirmation is pushed in.
dlg=$(xdotool search --name '^Auto-Profile \(Vertical Scan\)' | head -1)
xdotool mousemove --window "$dlg" 30 229 click 1; sleep 0.7
shot survey-vertical-scan-confirmation-pushed-in
xdotool key Escape; sleep 1
menu a h
shot survey-horizontal-scan
xdotool key Escape; sleep 1
menu t
shot survey-auto-azimuth
xdotool key Escape; sleep 1
kill -TERM "$app"
wait "$app" || true
