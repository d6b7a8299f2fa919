#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A screenshot of the live view in a real browser: starts q47v-sim and
# `q47v record --serve` on the loopback in a temporary folder, lets the picture
# build up, and has headless Chromium (installed here when missing) take a
# screenshot of the page. Usage: scripts/live-view-shot.sh [BUILD_DIR] [OUT.png] [WxH]
set -euo pipefail
build=$(cd "${1:-build/default}" && pwd)
out=$(realpath -m "${2:-live_view.png}")
size=${3:-1280,800}
port=${Q47V_SHOT_PORT:-8047}
settle=${Q47V_SHOT_SECONDS:-20}

if ! command -v chromium >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get install -y -q --no-install-recommends chromium
fi

work=$(mktemp -d)
cd "$work"
"$build/src/sim/q47v-sim" --ini WINQ47V.INI --quiet >sim.log 2>&1 &
sim_pid=$!
rec_pid=""
cleanup() {
  [ -n "$rec_pid" ] && { kill "$rec_pid" 2>/dev/null || true; wait "$rec_pid" 2>/dev/null || true; }
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
for _ in $(seq 1 50); do grep -q '^COM1=' WINQ47V.INI 2>/dev/null && break; sleep 0.1; done
# A full circle, so the picture fills quickly.
printf 'Range=6\nGridMode=1\nPolarSectorSize=360\nSpeed=4\nGain=8\n' >>WINQ47V.INI
"$build/src/cli/q47v" record --ini WINQ47V.INI --out live.47V --serve "127.0.0.1:$port" >rec.log 2>&1 &
rec_pid=$!
sleep "$settle"
url=$(grep -o 'http://[^ ]*' rec.log | head -1)
[ -n "$url" ] || { echo "live-view-shot: the live view did not start:" >&2; cat rec.log >&2; exit 1; }
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --virtual-time-budget=6000 \
  --screenshot="$out" --window-size="$size" "$url" >/dev/null 2>&1
echo "live-view-shot: $url -> $out"
