#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the layers of `q47v export` against the .XYZ files of the same recording.

The CSV points are read by pandas with no options; every other format is read back
through OGR (ogr2ogr from gdal-bin turns its points layer into CSV). Checked: the
point count (the .XYZ points less those without an echo and, on the map grid,
those without a GPS fix), x/y/z as in the .XYZ, lat/lon as the decimal reading of
the .XYZ position texts, and the placed coordinates against pyproj within 1 mm.
Exit status: 0 passed, 1 failed, 77 pandas or pyproj missing.
"""
import argparse
import csv
import glob
import math
import os
import re
import subprocess
import sys
import tempfile

try:
    import pandas
    import pyproj
except ImportError as e:  # pragma: no cover
    print("missing:", e)
    sys.exit(77)

COLUMNS = ["sweep", "point", "time_local", "time_utc", "lat", "lon", "x", "y", "z", "range", "beam_angle",
           "azimuth", "pitch", "roll", "heading", "easting", "northing", "height"]
POSITION = re.compile(r"^\s*(\d+)\.(\d\d)\.(\d*)\s*([NSEW])$")
failures = []


def fail(text):
    failures.append(text)
    print("FAIL:", text)


def degrees(text):
    m = POSITION.match(text)
    if not m:
        return None
    frac = m.group(3)
    minutes = int(m.group(2)) + (int(frac) / 10 ** len(frac) if frac else 0.0)
    v = int(m.group(1)) + minutes / 60.0
    return -v if m.group(4) in "SW" else v


def xyz_rows(xyz_dir, geometry):
    """(sweep, point) -> dict of the .XYZ row."""
    rows = {}
    files = sorted(glob.glob(os.path.join(xyz_dir, "*.xyz")))
    blocks = []
    for path in files:
        with open(path, "rb") as f:
            lines = f.read().decode("latin-1").split("\r\n")
        if geometry == "vertical":
            blocks.append([l for l in lines[4:] if l])
        elif geometry == "horizontal":
            blocks.append([l for l in lines if l])
        else:
            block = []
            for l in lines:
                if l:
                    block.append(l)
                elif block:
                    blocks.append(block)
                    block = []
    for s, block in enumerate(blocks, start=1):
        for i, line in enumerate(block, start=1):
            c = line.split("\t")
            row = {"x": float(c[-3]), "y": float(c[-2]), "z": float(c[-1]), "cols": c}
            lat = degrees(c[2]) if len(c) > 4 else None
            lon = degrees(c[3]) if len(c) > 4 and lat is not None else None
            row["lat"], row["lon"] = lat, lon
            at = 2 + (3 if lat is not None else 0)
            row["range"] = float(c[at]) if geometry != "horizontal" and len(c) - at >= 6 else None
            row["xyz_heading"] = float(c[-4]) if geometry == "vertical" and len(c) - at >= 9 else None
            rows[(s, i)] = row
    return rows


def ogr_points_csv(path, layer, sql=None):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "p.csv")
        cmd = ["ogr2ogr", "-f", "CSV", out, path, "-lco", "GEOMETRY=AS_XYZ"]
        cmd += ["-sql", sql] if sql else ([layer] if layer else [])
        subprocess.run(cmd, check=True, capture_output=True)
        with open(out, newline="") as f:
            return list(csv.DictReader(f))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--xyz-dir", required=True)
    ap.add_argument("--geometry", required=True)
    ap.add_argument("--feet", action="store_true")
    ap.add_argument("--csv", required=True, help="the points CSV of q47v export")
    ap.add_argument("--crs", help="the map grid; none: the local frame")
    ap.add_argument("--heading", help="'module' or the degrees given to --heading")
    ap.add_argument("--offset", default="0,0,0")
    ap.add_argument("--other", nargs="*", default=[], help="other outputs of the same export")
    a = ap.parse_args()

    xyz = xyz_rows(a.xyz_dir, a.geometry)
    frame = pandas.read_csv(a.csv)
    if list(frame.columns) != COLUMNS:
        fail("CSV columns %s" % list(frame.columns))
        return 1
    placed = a.crs is not None
    expected = [k for k, r in xyz.items() if not (r["range"] is not None and r["range"] == 0)
                and not (placed and r["lat"] is None)]
    no_echo = sum(1 for r in xyz.values() if r["range"] is not None and r["range"] == 0)
    print("xyz points %d, no echo %d, expected %d, csv rows %d" % (len(xyz), no_echo, len(expected), len(frame)))
    if len(frame) != len(expected):
        fail("count %d, expected %d" % (len(frame), len(expected)))
    scale = 0.3048 if a.feet else 1.0
    dx, dy, dz = (float(v) for v in a.offset.split(","))
    transformer = pyproj.Transformer.from_crs("EPSG:4326", a.crs, always_xy=True) if placed else None
    worst = 0.0
    reference = {}
    for _, r in frame.iterrows():
        key = (int(r["sweep"]), int(r["point"]))
        reference[key] = r
        x = xyz.get(key)
        if x is None:
            fail("no .XYZ point for %s" % (key,))
            continue
        for c in "xyz":
            if abs(r[c] - x[c]) > 0.0005 + 1e-9:
                fail("%s %s: %r, .XYZ %r" % (key, c, r[c], x[c]))
        if x["lat"] is not None:
            if abs(r["lat"] - x["lat"]) > 1e-12 or abs(r["lon"] - x["lon"]) > 1e-12:
                fail("%s lat/lon %r %r, .XYZ %r %r" % (key, r["lat"], r["lon"], x["lat"], x["lon"]))
        elif not math.isnan(r["lat"]):
            fail("%s has a position the .XYZ has not" % (key,))
        if not placed:
            if not (math.isnan(r["easting"]) and math.isnan(r["northing"])):
                fail("%s placed in a local export" % (key,))
            continue
        if a.heading == "module":
            h = x["xyz_heading"] if x["xyz_heading"] is not None else r["heading"]
            if math.isnan(h):
                h = 0.0  # a ping before the module's first reply: the export was given --heading 0
        else:
            h = float(a.heading)
        ea, na = transformer.transform(x["lon"], x["lat"])
        hr = math.radians(h)
        e = ea + dx * math.cos(hr) + dy * math.sin(hr)
        n = na - dx * math.sin(hr) + dy * math.cos(hr)
        px, py, pz = r["x"] * scale, r["y"] * scale, r["z"] * scale
        if a.geometry == "vertical":
            e += px * math.cos(hr)
            n -= px * math.sin(hr)
        else:
            # What the .XYZ already turned the plan by: the recorded heading
            # (horizontal always, azimuth with the attitude columns).
            applied = 0.0 if math.isnan(r["heading"]) else r["heading"]
            rr = math.radians(h - applied)
            e += px * math.cos(rr) + py * math.sin(rr)
            n += -px * math.sin(rr) + py * math.cos(rr)
        d = math.hypot(e - r["easting"], n - r["northing"])
        worst = max(worst, d, abs(pz - r["height"]))
        if d > 0.001 or abs(pz - r["height"]) > 0.001:
            fail("%s placed %r %r, pyproj %r %r" % (key, r["easting"], r["northing"], e, n))
    print("csv: worst difference from pyproj %.6f m" % worst if placed else "csv: local frame")

    for path in a.other:
        ext = os.path.splitext(path)[1].lower()
        if ext == ".dxf":
            rows = ogr_points_csv(path, None, "SELECT * FROM entities WHERE OGR_GEOMETRY='POINT'")
        else:
            rows = ogr_points_csv(path, None if ext in (".shp", ".geojson") else "points")
        if len(rows) != len(frame):
            fail("%s: %d points, CSV %d" % (path, len(rows), len(frame)))
        by_order = list(reference.values())
        worst_geo = 0.0
        for i, row in enumerate(rows):
            ref = by_order[i] if i < len(by_order) else None
            if ref is None:
                break
            want = (ref["easting"], ref["northing"], ref["height"]) if placed else (ref["x"], ref["y"], ref["z"])
            gx, gy, gz = float(row["X"]), float(row["Y"]), float(row.get("Z") or "nan")
            if ext == ".kml":
                want_lon, want_lat = pyproj.Transformer.from_crs(a.crs, "EPSG:4326", always_xy=True).transform(
                    want[0], want[1])
                d = max(abs(gx - want_lon), abs(gy - want_lat)) * 111320.0
            else:
                d = max(abs(gx - want[0]), abs(gy - want[1]))
            worst_geo = max(worst_geo, d)
            if d > 0.001 or abs(gz - want[2]) > 0.001:
                fail("%s point %d at %r %r %r, wanted %r" % (path, i, gx, gy, gz, want))
            if ext == ".dxf":
                if row["Layer"] != "SWEEP_%04d" % int(ref["sweep"]):
                    fail("%s point %d on layer %s" % (path, i, row["Layer"]))
                continue
            for c in ("sweep", "point"):
                if int(float(row[c])) != int(ref[c]):
                    fail("%s point %d %s %s, CSV %s" % (path, i, c, row[c], ref[c]))
            for c in ("x", "y", "z"):
                if abs(float(row[c]) - ref[c]) > 1e-6:
                    fail("%s point %d %s %s, CSV %s" % (path, i, c, row[c], ref[c]))
        print("%s: %d points, worst geometry difference %.6f m" % (path, len(rows), worst_geo))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
