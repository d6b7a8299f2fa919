#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the two Debian packages (q47v-tools and winq47v) with CPack, checks their
# control data and contents, runs lintian and appstreamcli on them, then,
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
tools=$(ls "$work"/out/q47v-tools_*.deb 2>/dev/null | head -1)
deb=$(ls "$work"/out/winq47v_*.deb 2>/dev/null | head -1)
[ -n "$tools" ] || { cat cpack.log; fail "no q47v-tools .deb built"; }
[ -n "$deb" ] || { cat cpack.log; fail "no winq47v .deb built"; }
echo "built $(basename "$tools") $(basename "$deb")"
[ "$(dpkg-deb -f "$tools" Package)" = q47v-tools ] || fail "package name q47v-tools"
[ "$(dpkg-deb -f "$deb" Package)" = winq47v ] || fail "package name winq47v"
version=$(dpkg-deb -f "$deb" Version)

# q47v-tools serves a headless logging box: no Qt, no GL stack.
tools_depends=$(dpkg-deb -f "$tools" Depends)
echo "q47v-tools Depends: $tools_depends"
# The survey export writes through GDAL and places through PROJ.
for dep in libc6 libstdc++6 libpng16-16 libudev1 libgdal libproj; do
  grep -q "$dep" <<<"$tools_depends" || fail "q47v-tools Depends lacks $dep"
done
if grep -Eio 'qt[0-9]?|libgl[a-z0-9]*|libegl[a-z0-9]*|libgles[a-z0-9]*|libopengl[a-z0-9]*|mesa|libdrm[a-z0-9]*|libvulkan[a-z0-9]*' <<<"$tools_depends"; then
  fail "q47v-tools depends on Qt or a GL library"
fi
depends=$(dpkg-deb -f "$deb" Depends)
echo "winq47v Depends: $depends"
for dep in libqt6widgets6 libqt6gui6 libqt6core6 libc6 qt6-qpa-plugins "q47v-tools (= $version)"; do
  grep -qF "$dep" <<<"$depends" || fail "winq47v Depends lacks $dep"
done

# The description: summary line, then lines each starting with one space (an
# empty line is " ."), no stray list separators.
for pkg in "$tools" "$deb"; do
  dpkg-deb -f "$pkg" Description >description
  sed -n '2,$p' description | grep -qv '^ ' && { cat description; fail "$(basename "$pkg"): a description line does not start with a space"; }
  grep -q '^ *;' description && { cat description; fail "$(basename "$pkg"): a description line starts with ;"; }
  [ "$(wc -l <description)" -ge 3 ] || fail "$(basename "$pkg"): no long description"
done

dpkg-deb -c "$tools" | awk '{print $6}' >tools-contents
dpkg-deb -c "$deb" | awk '{print $6}' >contents
for f in ./usr/bin/q47v ./usr/bin/q47v-sim ./usr/share/man/man1/q47v.1.gz ./usr/share/man/man1/q47v-sim.1.gz \
         ./usr/share/doc/q47v-tools/copyright ./usr/share/doc/q47v-tools/changelog.gz; do
  grep -qx "$f" tools-contents || fail "$f is not in q47v-tools"
done
for f in ./usr/bin/winq47v ./usr/share/applications/winq47v.desktop \
         ./usr/share/mime/packages/winq47v.xml ./usr/share/icons/hicolor/48x48/apps/winq47v.png \
         ./usr/share/metainfo/org.winq47v.winq47v.metainfo.xml ./usr/share/man/man1/winq47v.1.gz \
         ./usr/share/doc/winq47v/copyright ./usr/share/doc/winq47v/changelog.gz; do
  grep -qx "$f" contents || fail "$f is not in winq47v"
done
if grep -q 'bin/q47v' contents; then fail "winq47v holds q47v-tools' programs"; fi
if grep -q '^\./usr/local' contents tools-contents; then fail "files under /usr/local"; fi

# What a distribution asks: lintian without errors or warnings (informational
# tags are listed), and valid AppStream metainfo.
if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 --info "$tools" "$deb" >lintian.log 2>&1 || true
  cat lintian.log
  if grep -E '^[EW]: ' lintian.log; then fail "lintian errors or warnings"; fi
else
  echo "lintian is not installed: not run"
fi
if command -v appstreamcli >/dev/null; then
  mkdir -p unpacked
  dpkg-deb -x "$deb" unpacked
  appstreamcli validate --no-net --explain unpacked/usr/share/metainfo/org.winq47v.winq47v.metainfo.xml ||
    fail "appstreamcli validate"
else
  echo "appstreamcli is not installed: not run"
fi

if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
  echo "package checked; install skipped: needs root and apt-get"
  exit 0
fi
if dpkg-query -W -f='${Status}' winq47v q47v-tools 2>/dev/null | grep -q 'install ok installed'; then
  echo "package checked; install skipped: a winq47v or q47v-tools package is already installed"
  exit 0
fi
export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -q -y -o DPkg::Lock::Timeout=300 --no-install-recommends)
cleanup() { "${apt[@]}" purge winq47v q47v-tools >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT
"${apt[@]}" install "$tools" "$deb" >apt-install.log 2>&1 || { cat apt-install.log; fail "apt-get install"; }
[ "$(/usr/bin/winq47v --version)" = "winq47v $(dpkg-deb -f "$deb" Version)" ] || fail "installed winq47v --version"
/usr/bin/q47v --help >/dev/null || fail "installed q47v --help"
/usr/bin/q47v-sim --help >/dev/null || fail "installed q47v-sim --help"
for page in winq47v q47v q47v-sim; do
  MANPAGER=cat man -l "/usr/share/man/man1/$page.1.gz" >/dev/null 2>&1 || fail "man -l $page"
done
# What the package manager shows of the package: the long description whole.
shown=$(apt-cache show winq47v q47v-tools)
grep -q '^ WinQ47V Digital Sonar drives a Q47V scanning sonar head' <<<"$shown" || { echo "$shown"; fail "apt-cache show: the description"; }
if grep -q '^ *;' <<<"$shown"; then fail "apt-cache show: a description line starts with ;"; fi
# The system's file-type database learnt the .47V type from the package's trigger.
if [ -f /usr/share/mime/globs2 ]; then
  grep -q 'application/x-q47v-sonar' /usr/share/mime/globs2 || fail "the MIME database has no .47V type"
fi
listed=$(dpkg -L winq47v q47v-tools)
"${apt[@]}" purge winq47v q47v-tools >apt-remove.log 2>&1 || { cat apt-remove.log; fail "apt-get purge"; }
while read -r f; do
  if [ -f "$f" ] || [ -L "$f" ]; then fail "$f is left after removal"; fi
done <<<"$listed"
for pkg in winq47v q47v-tools; do
  if dpkg-query -W -f='${Status}' $pkg 2>/dev/null | grep -q 'install ok installed'; then fail "$pkg still installed"; fi
done
if [ -f /usr/share/mime/globs2 ] && grep -q 'application/x-q47v-sonar' /usr/share/mime/globs2; then
  fail "the MIME database still has the .47V type"
fi
echo "installed with apt, ran, removed cleanly"
