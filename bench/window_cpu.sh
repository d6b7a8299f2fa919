#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The main window's CPU use live, against the simulator at a real head's pace, on a
# private X server (Xvfb with openbox): the program's user and system time over a
# measuring period, as a percentage of one core, and the simulator's for scale.
#
#   bench/window_cpu.sh WINQ47V Q47V-SIM [SECONDS] [normal|maximised|fullscreen]
#
# QT_SCALE_FACTOR and the other Qt variables of the environment are passed on, so
#   QT_SCALE_FACTOR=2 bench/window_cpu.sh ...
# measures the window on a high-density screen (the X screen is then 3840 x 2160);
# SHOT=file.png keeps a capture of the screen at the end of the measuring period.
set -euo pipefail

prog=$(realpath "$1")
sim=$(realpath "$2")
seconds=${3:-20}
shape=${4:-normal}
size=1920x1080
[ -n "${QT_SCALE_FACTOR:-}" ] && size=3840x2160

work=$(mktemp -d /tmp/q47v-window-cpu-XXXXXX)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

printf '[Settings]\nRunMode=0\nGridMode=0\nRange=5\nSpeed=4\nAzimuthDriveEnable=0\n[Orientation Module Settings]\nEnableOrientationModule=0\n' > WINQ47V.INI
"$sim" --ini WINQ47V.INI --quiet --no-gps >/dev/null &
sim_pid=$!
pids+=("$sim_pid")
for _ in $(seq 100); do grep -q '^COM1=' WINQ47V.INI && break; sleep 0.1; done

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 "${size}x24" -nolisten tcp -noreset 2>/dev/null &
pids+=("$!")
read -r -t 20 number <&"$fd"
export DISPLAY=":$number"
openbox --sm-disable >/dev/null 2>&1 &
pids+=("$!")
sleep 1

"$prog" >/dev/null 2>&1 &
app=$!
pids+=("$app")
for _ in $(seq 200); do wmctrl -l 2>/dev/null | grep -q 'WinQ47V Digital Sonar' && break; sleep 0.1; done
sleep 4  # the logo and the link's start
case "$shape" in
  maximised) wmctrl -r 'WinQ47V Digital Sonar' -b add,maximized_vert,maximized_horz ;;
  fullscreen) wmctrl -r 'WinQ47V Digital Sonar' -b add,fullscreen ;;
esac
sleep 2

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
a0=$(ticks "$app"); s0=$(ticks "$sim_pid"); t0=$(date +%s.%N)
sleep "$seconds"
a1=$(ticks "$app"); s1=$(ticks "$sim_pid"); t1=$(date +%s.%N)
[ -n "${SHOT:-}" ] && import -window root "$SHOT"  # SHOT=file.png: what the screen showed
geometry=$(wmctrl -lG | awk '/WinQ47V Digital Sonar/ {print $5 "x" $6; exit}')
awk -v a="$((a1 - a0))" -v s="$((s1 - s0))" -v hz="$hz" -v t0="$t0" -v t1="$t1" -v shape="$shape" \
    -v g="$geometry" -v f="${QT_SCALE_FACTOR:-1}" 'BEGIN {
  wall = t1 - t0
  printf "window %s %s, scale factor %s: winq47v %.1f %% of a core, q47v-sim %.1f %% over %.1f s\n",
         shape, g, f, 100 * a / hz / wall, 100 * s / hz / wall, wall
}'
