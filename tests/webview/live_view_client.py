#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A live view viewer written against python3-websockets, not the program's code.

usage: live_view_client.py WS_URL EXPECTED_FILE

Connects one viewer at once and a second after the first has applied a few
pictures. Each rebuilds the picture from the stream: 'C' messages set the 256
colours, 'P' messages carry a zlib-compressed rectangle of palette indices
(or, with flag bit 1, of what to add to the indices held),
text messages are JSON readouts with a sequence number. When a line with the
final sequence number arrives on standard input, each viewer waits for readouts
of that sequence and compares its picture, in colours, with EXPECTED_FILE (the
program's 596 x 506 palette indices followed by its 256 RGB colours).
Exit status 0 when both viewers hold exactly the program's picture.
"""
import asyncio
import json
import struct
import sys
import zlib

import websockets

W, H = 596, 506


class Viewer:
    def __init__(self, name):
        self.name = name
        self.indices = bytearray(W * H)
        self.palette = bytes(768)
        self.seq = 0
        self.pictures = 0
        self.wholes = 0
        self.readouts = {}
        self.errors = []
        self.changed = asyncio.Event()

    def take(self, msg):
        if isinstance(msg, str):
            r = json.loads(msg)
            if r.get("type") == "readouts":
                self.readouts = r
                self.seq = max(self.seq, int(r["seq"]))
        elif msg[:1] == b"C":
            if len(msg) != 769:
                self.errors.append("colour message of %d bytes" % len(msg))
            self.palette = bytes(msg[1:])
        elif msg[:1] == b"P":
            flags, seq, x, y, w, h = struct.unpack_from("<BIHHHH", msg, 1)
            raw = zlib.decompress(msg[14:])
            if len(raw) != w * h or x + w > W or y + h > H:
                self.errors.append("bad rectangle %d,%d %dx%d" % (x, y, w, h))
                return
            for row in range(h):
                at = (y + row) * W + x
                if flags & 2:  # a change: added, modulo 256, to what the viewer holds
                    self.indices[at:at + w] = bytes((a + b) & 255 for a, b in
                                                    zip(self.indices[at:at + w], raw[row * w:(row + 1) * w]))
                else:
                    self.indices[at:at + w] = raw[row * w:(row + 1) * w]
            self.pictures += 1
            if flags & 1:
                self.wholes += 1
        else:
            self.errors.append("unknown message %r" % msg[:1])
        self.changed.set()

    def rgb(self):
        p = self.palette
        return b"".join(p[3 * i:3 * i + 3] for i in self.indices)


async def run_viewer(viewer, url, done):
    async with websockets.connect(url, max_size=None, ping_interval=None, open_timeout=10) as ws:
        while not done.is_set():
            try:
                msg = await asyncio.wait_for(ws.recv(), timeout=0.5)
            except asyncio.TimeoutError:
                continue
            viewer.take(msg)


async def main():
    url, expected_path = sys.argv[1], sys.argv[2]
    loop = asyncio.get_running_loop()
    done = asyncio.Event()
    first, second = Viewer("first"), Viewer("second")
    tasks = [asyncio.create_task(run_viewer(first, url, done))]
    # The second viewer joins once the first has seen a few pictures.
    while first.pictures < 3:
        first.changed.clear()
        await asyncio.wait_for(first.changed.wait(), timeout=30)
    tasks.append(asyncio.create_task(run_viewer(second, url, done)))
    line = await loop.run_in_executor(None, sys.stdin.readline)
    final = int(line.strip())
    for v in (first, second):
        while v.seq < final:
            v.changed.clear()
            await asyncio.wait_for(v.changed.wait(), timeout=30)
    done.set()
    await asyncio.gather(*tasks)

    with open(expected_path, "rb") as f:
        data = f.read()
    want_indices, want_palette = data[:W * H], data[W * H:]
    want = b"".join(want_palette[3 * i:3 * i + 3] for i in want_indices)
    ok = True
    for v in (first, second):
        got = v.rgb()
        diff = sum(1 for i in range(0, len(want), 3) if got[i:i + 3] != want[i:i + 3])
        diff += sum(1 for a, b in zip(v.indices, want_indices) if a != b)
        print("%s: %d pictures (%d whole), readouts %s/%s at seq %d, %d pixels differ, errors %s" % (
            v.name, v.pictures, v.wholes, v.readouts.get("source"), v.readouts.get("file"), v.seq, diff,
            v.errors or "none"))
        ok = ok and diff == 0 and not v.errors and v.wholes >= 1
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(asyncio.run(main()))
