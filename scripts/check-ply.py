#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a PLY point cloud written by `q47v xyz --ply` with a PLY reader of its own
(meshio, or Open3D when asked and installed) and checks it holds the points of
the .XYZ file beside it: the same number, in the same order, to the last digit.

usage: check-ply.py FILE.ply FILE.xyz [--reader meshio|open3d]
Exit status: 0 equal, 1 different or unreadable, 77 no reader installed.
"""
import sys


def xyz_points(path):
    points = []
    with open(path, "rb") as f:
        for raw in f.read().decode("ascii").split("\r\n"):
            if "\t" not in raw:
                continue  # the vertical header, or the empty line between sweeps
            fields = raw.split("\t")
            points.append(tuple(float(v) for v in fields[-3:]))
    return points


def ply_points(path, reader):
    if reader == "open3d":
        import open3d  # noqa: E402
        cloud = open3d.io.read_point_cloud(path, format="ply")
        return [tuple(p) for p in cloud.points]
    import meshio  # noqa: E402
    mesh = meshio.read(path, file_format="ply")
    return [tuple(float(v) for v in p) for p in mesh.points]


def main(argv):
    args = [a for a in argv[1:] if not a.startswith("--reader")]
    reader = "meshio"
    for i, a in enumerate(argv):
        if a.startswith("--reader"):
            reader = a.split("=", 1)[1] if "=" in a else argv[i + 1]
            if "=" not in a:
                args.remove(reader)
    if len(args) != 2 or reader not in ("meshio", "open3d"):
        print(__doc__, file=sys.stderr)
        return 1
    try:
        __import__(reader)
    except ImportError:
        print(f"check-ply: the {reader} reader is not installed", file=sys.stderr)
        return 77
    ply, xyz = args
    got = ply_points(ply, reader)
    want = xyz_points(xyz)
    if len(got) != len(want):
        print(f"check-ply: {ply} holds {len(got)} points, {xyz} {len(want)}", file=sys.stderr)
        return 1
    for i, (g, w) in enumerate(zip(got, want)):
        if any(abs(a - b) > 1e-9 for a, b in zip(g, w)):
            print(f"check-ply: point {i + 1}: {g} in {ply}, {w} in {xyz}", file=sys.stderr)
            return 1
    print(f"check-ply: {ply}: {len(got)} points read by {reader}, equal to {xyz}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
