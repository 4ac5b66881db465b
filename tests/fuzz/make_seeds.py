#!/usr/bin/env python3
"""Writes the seed corpora of the fuzzers into DIR/<fuzzer>/.

PNGs of every colour type, bit depth and interlace method are encoded here
(zlib and struct only), descriptor runs are spelled out byte by byte: no
file is downloaded."""
import os
import struct
import sys
import zlib

# colour type -> (channels, allowed bit depths)
COLOUR_TYPES = {0: (1, [1, 2, 4, 8, 16]), 2: (3, [8, 16]), 3: (1, [1, 2, 4, 8]),
                4: (2, [8, 16]), 6: (4, [8, 16])}
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def sample(x, y, c, depth):
    return (x * 7 + y * 13 + c * 29) % (1 << depth)


def row_bytes(xs, y, channels, depth):
    bits = []
    for x in xs:
        for c in range(channels):
            bits.append(sample(x, y, c, depth))
    if depth == 16:
        return b"".join(struct.pack(">H", v) for v in bits)
    if depth == 8:
        return bytes(bits)
    out, acc, n = bytearray(), 0, 0
    for v in bits:
        acc = (acc << depth) | v
        n += depth
        if n == 8:
            out.append(acc)
            acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)


def png(width, height, colour, depth, interlace, trns=False):
    channels = COLOUR_TYPES[colour][0]
    raw = bytearray()
    if interlace:
        for x0, y0, dx, dy in ADAM7:
            xs = list(range(x0, width, dx))
            if not xs:
                continue
            for y in range(y0, height, dy):
                raw += b"\0" + row_bytes(xs, y, channels, depth)
    else:
        for y in range(height):
            raw += b"\0" + row_bytes(list(range(width)), y, channels, depth)
    out = b"\x89PNG\r\n\x1a\n"
    out += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace))
    if colour == 3:
        entries = 1 << depth
        palette = b"".join(bytes((i * 37 % 256, i * 91 % 256, i * 53 % 256)) for i in range(entries))
        out += chunk(b"PLTE", palette)
        if trns:
            out += chunk(b"tRNS", bytes((i * 60) % 256 for i in range(entries)))
    elif trns and colour == 0:
        out += chunk(b"tRNS", struct.pack(">H", 0))
    elif trns and colour == 2:
        out += chunk(b"tRNS", struct.pack(">HHH", 0, 0, 0))
    out += chunk(b"IDAT", zlib.compress(bytes(raw)))
    out += chunk(b"IEND", b"")
    return out


def main():
    root = sys.argv[1]
    pngs = os.path.join(root, "fuzz_png")
    os.makedirs(pngs, exist_ok=True)
    for colour, (_, depths) in COLOUR_TYPES.items():
        for depth in depths:
            for interlace in (0, 1):
                for trns in (False, True):
                    name = "c%d_d%d_i%d%s.png" % (colour, depth, interlace, "_t" if trns else "")
                    with open(os.path.join(pngs, name), "wb") as f:
                        f.write(png(5, 3, colour, depth, interlace, trns))
    with open(os.path.join(pngs, "one_pixel.png"), "wb") as f:
        f.write(png(1, 1, 6, 8, 0))

    descriptors = os.path.join(root, "fuzz_descriptors")
    os.makedirs(descriptors, exist_ok=True)
    runs = {
        "hid": [9, 0x21, 0x11, 1, 0, 1, 0x22, 0x34, 0x01],
        "after_others": [3, 0x24, 0, 5, 0x24, 1, 2, 3, 9, 0x21, 0, 1, 0, 1, 0x22, 0x20, 0],
        "short_hid": [8, 0x21, 0, 1, 0, 1, 0x22, 9, 9, 0x21, 0, 1, 0, 1, 0x22, 7, 0],
        "two_class_descriptors": [12, 0x21, 0x11, 1, 0, 2, 0x22, 0xFF, 0xFF, 0x23, 0x10, 0],
        "zero_length": [0, 0x21, 1],
    }
    for name, data in runs.items():
        with open(os.path.join(descriptors, name), "wb") as f:
            f.write(bytes(data))

    texts = os.path.join(root, "fuzz_text")
    os.makedirs(texts, exist_ok=True)
    samples = {"bytes": bytes(range(256)), "utf16": "a\u20ac\U0001F600".encode("utf-16-le"),
               "utf8": "h\u00e9\U0001F600".encode("utf-8"), "cesu": b"\xed\xa0\xbd\xed\xb8\x80"}
    for name, data in samples.items():
        with open(os.path.join(texts, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
