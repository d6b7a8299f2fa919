#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the PNG images from their SVG sources (rsvg-convert from librsvg2-bin).
# Run after changing an SVG; the PNGs are kept in the repository so that the build
# needs neither the renderer nor the fonts.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" winq47v.svg -o "winq47v-$size.png"
done
rsvg-convert -w 32 -h 32 newcur.svg -o newcur.png
rsvg-convert logo.svg -o logo.png
