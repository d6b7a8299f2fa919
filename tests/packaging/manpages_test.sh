#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders each manual page as a user sees it (man -l, 80 columns) and checks that
# every example line of its source (the literal blocks) appears whole on one line,
# unfilled and unhyphenated, with plain ASCII hyphens, so that pasting it gives the
# command; and that no markup is left as text (COM_n_, *word*).
# Exit 77 (skipped) when man is missing or the pages were not built.
set -euo pipefail
build=$1
src=$2
command -v man >/dev/null || { echo "skipped: man is not installed"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
checked=0
for scd in "$src"/*.1.scd; do
  page=$(basename "$scd" .1.scd)
  gz=$build/packaging/man/$page.1.gz
  [ -f "$gz" ] || { echo "skipped: $gz was not built"; exit 77; }
  out=$(MANPAGER=cat MANWIDTH=80 LC_ALL=C.UTF-8 man -l "$gz" 2>/dev/null)
  # Lines of the source between ``` fences, without their indentation.
  examples=$(awk '/^[ \t]*```/ { inside = !inside; next } inside { sub(/^[ \t]+/, ""); print }' "$scd")
  [ -n "$examples" ] || fail "$page(1) has no example block"
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    grep -qxF -- "$line" <<<"$(sed 's/^ *//; s/ *$//' <<<"$out")" ||
      fail "$page(1): the example line '$line' does not appear unbroken"
    checked=$((checked + 1))
  done <<<"$examples"
  if grep -nE '(^|[^A-Za-z0-9/])_[A-Za-z][A-Za-z0-9.]*_|[A-Za-z0-9]_[a-z]+_([^A-Za-z0-9]|$)|\*[A-Za-z-]+\*' <<<"$out"; then
    fail "$page(1) shows markup as text"
  fi
done
echo "$checked example lines appear unbroken"
