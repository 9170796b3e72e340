#!/usr/bin/env python3
"""Puts BMP pictures side by side into one PNG, for the README's picture.

usage: bmp_to_png.py [--step N] OUT.png IN.bmp [IN.bmp ...]

--step N keeps every Nth pixel of every Nth row (a smaller picture).

Reads the uncompressed 8-bit and 24-bit files the onda programs write
(40-byte header, rows bottom-up); needs nothing beyond Python's standard
library.
"""
import struct
import sys
import zlib

GAP = 8  # white pixels between pictures


def read_bmp(path):
    """Returns width, height and the rows top-down as RGB bytes."""
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    palette = [data[54 + 4 * i:57 + 4 * i][::-1] for i in range(256)] if bits == 8 else []
    row_length = (width * bits // 8 + 3) // 4 * 4
    rows = []
    for y in range(height):
        stored = data[offset + y * row_length:offset + y * row_length + width * bits // 8]
        if bits == 8:
            rows.append(b"".join(palette[i] for i in stored))
        else:
            rows.append(b"".join(stored[3 * x:3 * x + 3][::-1] for x in range(width)))
    return width, height, rows[::-1]


def shrink(picture, step):
    width, height, rows = picture
    rows = [b"".join(row[3 * x:3 * x + 3] for x in range(0, width, step)) for row in rows[::step]]
    return (width + step - 1) // step, len(rows), rows


def side_by_side(pictures):
    height = max(p[1] for p in pictures)
    rows = []
    for y in range(height):
        parts = []
        for width, h, picture_rows in pictures:
            parts.append(picture_rows[y] if y < h else b"\xff" * 3 * width)
        rows.append((b"\xff" * 3 * GAP).join(parts))
    width = sum(p[0] for p in pictures) + GAP * (len(pictures) - 1)
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    pixels = zlib.compress(b"".join(b"\0" + row for row in rows), 9)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", pixels) +
                  chunk(b"IEND", b""))


def main(args):
    step = 1
    if args and args[0] == "--step":
        step, args = int(args[1]), args[2:]
    if len(args) < 2:
        sys.exit(__doc__)
    pictures = [shrink(read_bmp(path), step) for path in args[1:]]
    write_png(args[0], *side_by_side(pictures))


if __name__ == "__main__":
    main(sys.argv[1:])
