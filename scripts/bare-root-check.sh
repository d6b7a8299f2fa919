#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# By hand, as root (not in CI: it downloads about 75 MB): builds a bare Debian 12
# root with mmdebstrap, installs the q47v-tools package into it and runs the
# simulator and a headless recording there with no Qt installed, then installs
# winq47v and starts the window on an X server of the host (Xvfb on DISPLAY, default
# :310), then purges both and checks that nothing they installed is left.
# Prints the number of packages and the disk space each step adds.
#   scripts/bare-root-check.sh build/default/package
set -euo pipefail
pkgdir=$(realpath "${1:-build/default/package}")
display=${DISPLAY_NUMBER:-310}
tools=$(ls "$pkgdir"/q47v-tools_*.deb | head -1)
win=$(ls "$pkgdir"/winq47v_*.deb | head -1)
work=$(mktemp -d)
root=$work/root
xvfb=
cleanup() {
  for m in tmp/.X11-unix proc dev/pts dev; do mountpoint -q "$root/$m" && umount "$root/$m"; done
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
mirror=http://deb.debian.org/debian
mmdebstrap --variant=apt --mode=root bookworm "$root" "deb $mirror bookworm main" \
  "deb $mirror bookworm-updates main" "deb http://deb.debian.org/debian-security bookworm-security main" \
  >"$work/mmdebstrap.log" 2>&1 || { cat "$work/mmdebstrap.log"; fail mmdebstrap; }
mount --bind /dev "$root/dev"; mount --bind /dev/pts "$root/dev/pts"; mount -t proc proc "$root/proc"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$tools" "$win" "$root/tmp/"
in_root() { chroot "$root" env DEBIAN_FRONTEND=noninteractive sh -c "$1"; }
count() { in_root 'dpkg-query -W -f="\${Status}\n" | grep -c "install ok installed"'; }
in_root 'apt-get -q update' >/dev/null
echo "bare root: $(count) packages"
install() {
  in_root "apt-get -q -y --no-install-recommends install /tmp/$(basename "$1")" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "install $(basename "$1")"; }
  echo "$(basename "$1"): $(grep -E 'newly installed' "$work/install.log")"
  echo "  $(grep -E '^After this operation' "$work/install.log"); now $(count) packages"
}
install "$tools"
if in_root 'dpkg -l' | grep -Eq '^ii +(libqt|qt6|libgl|libegl|mesa)'; then fail "q47v-tools pulled Qt or GL in"; fi
in_root 'mkdir -p /root/w && cd /root/w && { q47v-sim --ini WINQ47V.INI --seconds 20 --quiet >sim.out 2>&1 & } && sleep 2 &&
         q47v record --ini WINQ47V.INI --out test.47V --pings 30 >rec.out 2>&1 && q47v info test.47V | grep -q "kinds: M x30"' ||
  fail "q47v-sim and q47v record in the bare root"
echo "q47v-sim and q47v record: 30 pings recorded without Qt"
install "$win"
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 2
mkdir -p "$root/tmp/.X11-unix" && mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
status=0
in_root "cd /root/w && DISPLAY=:$display timeout 8 winq47v >win.out 2>&1" || status=$?
[ "$status" -eq 124 ] || { in_root 'cat /root/w/win.out'; fail "winq47v ended with $status before it was stopped"; }
echo "winq47v ran until stopped"
listed=$(in_root 'dpkg -L winq47v q47v-tools')
in_root 'apt-get -q -y purge winq47v q47v-tools && apt-get -q -y autoremove --purge' >"$work/purge.log" 2>&1 ||
  { cat "$work/purge.log"; fail purge; }
while read -r f; do
  if [ -f "$root$f" ] || [ -L "$root$f" ]; then fail "$f is left after removal"; fi
done <<<"$listed"
echo "purged and autoremoved: $(count) packages, nothing left"
