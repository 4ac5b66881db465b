#!/usr/bin/env python3
"""Writes viewer-sample.png for image-viewer.js: a 192 x 128 RGBA picture
with colour gradients, a translucent disc and a transparent corner, so that
the viewer shows per-pixel alpha over its white background."""
import os
import struct
import zlib

W, H = 192, 128


def pixel(x, y):
    r, g, b, a = x * 255 // (W - 1), y * 255 // (H - 1), 160, 255
    dx, dy = x - 120, y - 64
    if dx * dx + dy * dy < 44 * 44:  # a half-transparent orange disc
        r, g, b, a = 255, 140, 0, 128
    if x + y < 40:  # the top-left corner lets the background through
        a = 0
    return bytes((r, g, b, a))


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


rows = b"".join(b"\0" + b"".join(pixel(x, y) for x in range(W)) for y in range(H))
png = (b"\x89PNG\r\n\x1a\n"
       + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 6, 0, 0, 0))
       + chunk(b"IDAT", zlib.compress(rows, 9))
       + chunk(b"IEND", b""))
out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "viewer-sample.png")
with open(out, "wb") as f:
    f.write(png)
print(out, len(png), "bytes")
