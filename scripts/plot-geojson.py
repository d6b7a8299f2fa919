#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws GeoJSON files of q47v export / q47v track (points and lines, projected or
local coordinates) over a plain grid with labelled lines every round step, as SVG.

usage: plot-geojson.py OUT.svg FILE.geojson [FILE.geojson ...]
Points are dots, lines are polylines; each file has its own colour.
"""
import json
import math
import sys

COLOURS = ["#d62728", "#1f77b4", "#2ca02c", "#9467bd", "#ff7f0e"]
W, H, M = 900, 700, 70


def coords(geom):
    t, c = geom["type"], geom["coordinates"]
    if t == "Point":
        return [c]
    if t in ("LineString", "MultiPoint"):
        return c
    return [p for part in c for p in part]


def step_for(span):
    raw = span / 8.0
    p = 10 ** math.floor(math.log10(raw))
    for k in (1, 2, 5, 10):
        if k * p >= raw:
            return k * p


def main():
    out, files = sys.argv[1], sys.argv[2:]
    layers = [json.load(open(f)) for f in files]
    pts = [p for l in layers for f in l["features"] if f.get("geometry") for p in coords(f["geometry"])]
    xs, ys = [p[0] for p in pts], [p[1] for p in pts]
    x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
    span = max(x1 - x0, y1 - y0, 1e-9) * 1.1
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    scale = min(W - 2 * M, H - 2 * M) / span
    X = lambda x: W / 2 + (x - cx) * scale
    Y = lambda y: H / 2 - (y - cy) * scale
    s = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d">' % (W, H),
         '<rect width="100%" height="100%" fill="white"/>']
    step = step_for(span)
    g = math.floor((cx - span) / step) * step
    while g <= cx + span:
        if M <= X(g) <= W - M:
            s.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#ccc"/>' % (X(g), M, X(g), H - M))
            s.append('<text x="%.1f" y="%d" font-size="11" text-anchor="middle">%.10g</text>' % (X(g), H - M + 16, g))
        g += step
    g = math.floor((cy - span) / step) * step
    while g <= cy + span:
        if M <= Y(g) <= H - M:
            s.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="#ccc"/>' % (M, Y(g), W - M, Y(g)))
            s.append('<text x="%d" y="%.1f" font-size="11" text-anchor="end">%.10g</text>' % (M - 4, Y(g) + 4, g))
        g += step
    for i, (f, l) in enumerate(zip(files, layers)):
        colour = COLOURS[i % len(COLOURS)]
        for feat in l["features"]:
            geom = feat.get("geometry")
            if not geom:
                continue
            if geom["type"] == "Point":
                x, y = geom["coordinates"][:2]
                s.append('<circle cx="%.1f" cy="%.1f" r="2.2" fill="%s"/>' % (X(x), Y(y), colour))
            else:
                path = " ".join("%.1f,%.1f" % (X(p[0]), Y(p[1])) for p in coords(geom))
                s.append('<polyline points="%s" fill="none" stroke="%s" stroke-width="1.2"/>' % (path, colour))
        s.append('<text x="%d" y="%d" font-size="13" fill="%s">%s</text>' % (M, 24 + 16 * i, colour, f))
    s.append('<text x="%d" y="%d" font-size="12">grid every %g units</text>' % (W - M - 150, 24, step))
    s.append("</svg>")
    open(out, "w").write("\n".join(s))


if __name__ == "__main__":
    main()
