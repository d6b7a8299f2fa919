#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package with CPack, checks its control data and contents, then,
# as root on a machine where it is not installed yet, installs it with apt, runs the
# installed programs, and removes it again, checking that nothing is left behind.
# Exit 77 (skipped) when the tools are missing; the install part is skipped (the
# package checks still run) when not root or when a winq47v package is installed.
set -euo pipefail
build=$1
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >cpack.log 2>&1 || { cat cpack.log; fail "cpack"; }
deb=$(ls "$work"/out/winq47v_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { cat cpack.log; fail "no .deb built"; }
echo "built $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libqt6widgets6 libqt6gui6 libqt6core6 libudev1 libpng16-16 libc6 qt6-qpa-plugins; do
  grep -q "$dep" <<<"$depends" || fail "Depends lacks $dep"
done
[ "$(dpkg-deb -f "$deb" Package)" = winq47v ] || fail "package name"
dpkg-deb -c "$deb" | awk '{print $6}' >contents
for f in ./usr/bin/winq47v ./usr/bin/q47v ./usr/bin/q47v-sim ./usr/share/applications/winq47v.desktop \
         ./usr/share/mime/packages/winq47v.xml ./usr/share/icons/hicolor/48x48/apps/winq47v.png \
         ./usr/share/man/man1/winq47v.1.gz ./usr/share/man/man1/q47v.1.gz ./usr/share/man/man1/q47v-sim.1.gz; do
  grep -qx "$f" contents || fail "$f is not in the package"
done
if grep -q '^\./usr/local' contents; then fail "files under /usr/local"; fi

if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
  echo "package checked; install skipped: needs root and apt-get"
  exit 0
fi
if dpkg-query -W -f='${Status}' winq47v 2>/dev/null | grep -q 'installed'; then
  echo "package checked; install skipped: a winq47v package is already installed"
  exit 0
fi
export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -q -y -o DPkg::Lock::Timeout=300 --no-install-recommends)
cleanup() { "${apt[@]}" purge winq47v >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT
"${apt[@]}" install "$deb" >apt-install.log 2>&1 || { cat apt-install.log; fail "apt-get install"; }
[ "$(/usr/bin/winq47v --version)" = "winq47v $(dpkg-deb -f "$deb" Version)" ] || fail "installed winq47v --version"
/usr/bin/q47v --help >/dev/null || fail "installed q47v --help"
/usr/bin/q47v-sim --help >/dev/null || fail "installed q47v-sim --help"
for page in winq47v q47v q47v-sim; do
  MANPAGER=cat man -l "/usr/share/man/man1/$page.1.gz" >/dev/null 2>&1 || fail "man -l $page"
done
# The system's file-type database learnt the .47V type from the package's trigger.
if [ -f /usr/share/mime/globs2 ]; then
  grep -q 'application/x-q47v-sonar' /usr/share/mime/globs2 || fail "the MIME database has no .47V type"
fi
listed=$(dpkg -L winq47v)
"${apt[@]}" purge winq47v >apt-remove.log 2>&1 || { cat apt-remove.log; fail "apt-get purge"; }
while read -r f; do
  if [ -f "$f" ] || [ -L "$f" ]; then fail "$f is left after removal"; fi
done <<<"$listed"
if dpkg-query -W -f='${Status}' winq47v 2>/dev/null | grep -q 'installed'; then fail "still installed"; fi
if [ -f /usr/share/mime/globs2 ] && grep -q 'application/x-q47v-sonar' /usr/share/mime/globs2; then
  fail "the MIME database still has the .47V type"
fi
echo "installed with apt, ran, removed cleanly"
