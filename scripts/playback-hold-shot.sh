#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One recording played in FILE mode and held at its end, read back from an X server:
# Auto Frame Capture is started, so playback stops at the end of the file with the
# box "End of File, Capture Stopped!" open, and the root window is captured then.
# Two builds that paint alike give the same PNG pixel for pixel.
#   scripts/playback-hold-shot.sh BUILD_DIR OUT.png [DISPLAY_NUMBER] [RECORDING]
# Needs xvfb, openbox, xdotool and imagemagick (import).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
out=$(realpath -m "$2")
display=":${3:-$((50 + $$ % 40))}"
recording=${4:-$root/tests/data/imaging/harbour_polar.47V}
# A fixed folder: the played file's path is in the title.
work=/tmp/q47v-playback-hold
rm -rf "$work" && mkdir -p "$work"
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display
openbox --sm-disable >/dev/null 2>&1 &
sleep 1
# The frame captures are written beside the played file: a copy in the work folder.
cp "$recording" played.47V
printf '[Settings]\nRunMode=1\n' > WINQ47V.INI
"$build/src/app/winq47v" "$work/played.47V" >app.log 2>&1 &
app=$!
win=
for _ in $(seq 100); do
  win=$(xdotool search --name '^WinQ47V Digital Sonar' 2>/dev/null | head -1) && [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "no main window" >&2; exit 1; }
sleep 1
# File > Auto Frame Capture Start..., then the box "Capture Started...".
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key --window "$win" alt+f; sleep 0.5; xdotool key a; sleep 1
xdotool key Return
box() { xdotool search --onlyvisible --name '^Auto Frame Capture$' >/dev/null 2>&1; }
for _ in $(seq 50); do box || break; sleep 0.1; done
# Playback runs to the end of the file and stops there with the box open.
for _ in $(seq 600); do box && break; sleep 0.1; done
sleep 2
import -window root "$out"
echo "$out"
kill -TERM "$app"
wait "$app" || true
