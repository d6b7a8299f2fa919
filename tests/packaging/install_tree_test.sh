#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary root (DESTDIR) as the package does, then
# checks that what landed works: the programs answer, the manual pages format,
# the desktop entry and the file type definition are valid, and the shared MIME
# database built from that definition knows .47V files by name and by content.
# Exit 77 (skipped) when a checking tool is missing.
set -euo pipefail
build=$1
for tool in man desktop-file-validate xmllint update-mime-database; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >install.log
usr=$root/usr
fail() { echo "FAIL: $*"; exit 1; }

for f in bin/winq47v bin/q47v bin/q47v-sim share/applications/winq47v.desktop \
         share/mime/packages/winq47v.xml share/icons/hicolor/scalable/apps/winq47v.svg \
         share/man/man1/winq47v.1.gz share/man/man1/q47v.1.gz share/man/man1/q47v-sim.1.gz \
         share/metainfo/org.winq47v.winq47v.metainfo.xml share/doc/q47v-tools/copyright \
         share/doc/q47v-tools/changelog.gz share/doc/winq47v/copyright share/doc/winq47v/changelog.gz; do
  [ -e "$usr/$f" ] || fail "$f was not installed"
done
for size in 16 22 24 32 48 64 128 256; do
  icon=$usr/share/icons/hicolor/${size}x${size}/apps/winq47v.png
  [ -e "$icon" ] || fail "no ${size}x${size} icon"
  # The PNG header holds width and height as big-endian 32-bit numbers at bytes 16 and 20.
  dims=$(od -An -tu1 -j16 -N8 "$icon" | awk '{print ($1*16777216+$2*65536+$3*256+$4) "x" ($5*16777216+$6*65536+$7*256+$8)}')
  [ "$dims" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $dims"
done

# The programs, started without a display.
version=$(env -u DISPLAY QT_QPA_PLATFORM= "$usr/bin/winq47v" --version)
[[ $version =~ ^winq47v\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "winq47v --version printed '$version'"
# (Whole outputs first: grep -q leaving early would break the pipe of a long text.)
for prog in q47v q47v-sim; do
  v=$("$usr/bin/$prog" --version) || fail "$prog --version"
  [ "$v" = "${version/winq47v/$prog}" ] || fail "$prog --version printed '$v'"
done
help=$(env -u DISPLAY "$usr/bin/winq47v" -h) || fail "winq47v -h"
grep -q '^usage: winq47v' <<<"$help" || fail "winq47v -h printed no usage"
status=0
env -u DISPLAY QT_QPA_PLATFORM=offscreen "$usr/bin/winq47v" --bogus >out 2>err || status=$?
[ "$status" -eq 2 ] || fail "winq47v --bogus exit status $status"
grep -q "unknown option '--bogus'" err || fail "winq47v --bogus said '$(cat err)'"
[ "$("$usr/bin/q47v" help dump)" = "$("$usr/bin/q47v" dump --help)" ] || fail "q47v help dump differs from q47v dump --help"
status=0
"$usr/bin/q47v" help nosuchverb >out 2>err || status=$?
[ "$status" -eq 2 ] || fail "q47v help nosuchverb exit status $status"
# The GIS and video verbs run in their helpers, found in the installed tree.
for verb in export track video; do
  [ "$("$usr/bin/q47v" help $verb)" = "$("$usr/bin/q47v" $verb --help)" ] || fail "q47v help $verb differs"
  grep -q "^usage: q47v $verb" <<<"$("$usr/bin/q47v" $verb --help)" || fail "q47v $verb --help printed no usage"
done
[ -x "$usr/libexec/q47v/q47v-gis" ] && [ -x "$usr/libexec/q47v/q47v-video" ] || fail "the helpers are not in libexec/q47v"
# q47v itself loads neither GDAL nor FFmpeg.
! ldd "$usr/bin/q47v" | grep -E -q 'libgdal|libavcodec|libproj' || fail "q47v links GDAL, PROJ or FFmpeg"
# A q47v without its helpers says which one is missing and where it looked.
mkdir alone && cp "$usr/bin/q47v" alone/
status=0
alone/q47v export x.47V >out 2>err || status=$?
[ "$status" -eq 1 ] || fail "q47v export without its helper: exit status $status"
grep -q "export needs the helper program q47v-gis, which is not installed" err || fail "q47v export alone said '$(cat err)'"
help=$("$usr/bin/q47v" --help) || fail "q47v --help"
grep -q '^  ports ' <<<"$help" || fail "q47v --help lists no ports verb"
help=$("$usr/bin/q47v-sim" --help) || fail "q47v-sim --help"
grep -q -- '--ini FILE' <<<"$help" || fail "q47v-sim --help does not describe --ini"

# Each manual page formats without a warning and has its name line.
for page in winq47v q47v q47v-sim; do
  out=$(MANPAGER=cat MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1.gz" 2>man.err)
  [ ! -s man.err ] || { cat man.err; fail "man -l $page warned"; }
  grep -q "^NAME" <<<"$out" || fail "$page(1) has no NAME section"
  grep -q "^ *$page - " <<<"$out" || fail "$page(1) has no name line"
done

# The desktop entry and the file type.
desktop-file-validate "$usr/share/applications/winq47v.desktop" || fail "desktop-file-validate"
grep -q '^MimeType=application/x-q47v-sonar;$' "$usr/share/applications/winq47v.desktop" || fail "MimeType"
grep -q '^Exec=winq47v --desktop %f$' "$usr/share/applications/winq47v.desktop" || fail "Exec"
xmllint --noout "$usr/share/mime/packages/winq47v.xml" || fail "xmllint"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$usr/share/metainfo/org.winq47v.winq47v.metainfo.xml" || fail "appstreamcli validate"
fi
XDG_DATA_DIRS=$usr/share update-mime-database "$usr/share/mime" >/dev/null 2>mime.err || { cat mime.err; fail "update-mime-database"; }
[ ! -s mime.err ] || { cat mime.err; fail "update-mime-database warned"; }
grep -q 'application/x-q47v-sonar:\*\.47v' "$usr/share/mime/globs2" || fail "no *.47v glob"
grep -aq 'application/x-q47v-sonar' "$usr/share/mime/magic" || fail "no magic for .47V"
grep -aq '47V' "$usr/share/mime/magic" || fail "the magic does not hold 47V"
echo "installed tree is good"
