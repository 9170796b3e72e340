#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus into corpus/: small, valid BMP files of
each kind the reader supports (8 and 24 bits, core and info headers, odd
widths, short palettes), and a few that it refuses at different steps.
Run it again only to change the seeds; the files are kept in the repository."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def bmp(width, height, bits, pixels, palette=b"", core=False, colors_used=0,
        compression=0):
    if core:
        header = struct.pack("<IHHHH", 12, width & 0xFFFF, height & 0xFFFF, 1, bits)
    else:
        header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression,
                             len(pixels), 2835, 2835, colors_used, 0)
    offset = 14 + len(header) + len(palette)
    size = offset + len(pixels)
    return struct.pack("<2sIHHI", b"BM", size, 0, 0, offset) + header + palette + pixels


def rows(width, height, bytes_per_pixel, value):
    """Rows bottom-up, each padded to a multiple of 4 bytes."""
    stride = (width * bytes_per_pixel + 3) // 4 * 4
    out = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            row += bytes(value(x, y, c) & 0xFF for c in range(bytes_per_pixel))
        out += row + bytes(stride - len(row))
    return bytes(out)


def grey_palette(entry_bytes):
    return b"".join(bytes([i, i, i] + [0] * (entry_bytes - 3)) for i in range(256))


SEEDS = {
    "grey8-info-5x3.bmp": bmp(5, 3, 8, rows(5, 3, 1, lambda x, y, c: 40 * x + 7 * y),
                              grey_palette(4)),
    "grey8-info-4x4.bmp": bmp(4, 4, 8, rows(4, 4, 1, lambda x, y, c: 16 * (x + 4 * y)),
                              grey_palette(4)),
    "pal8-info-3x2-six-colours.bmp": bmp(
        3, 2, 8, rows(3, 2, 1, lambda x, y, c: [5, 1, 200, 0, 3, 6][x + 3 * y]),
        bytes(range(24)), colors_used=6),
    "grey8-core-3x2.bmp": bmp(3, 2, 8, rows(3, 2, 1, lambda x, y, c: 90 * x + y),
                              grey_palette(3), core=True),
    "rgb24-info-3x2.bmp": bmp(3, 2, 24, rows(3, 2, 3, lambda x, y, c: 30 * x + 60 * y + c)),
    "rgb24-info-1x3.bmp": bmp(1, 3, 24, rows(1, 3, 3, lambda x, y, c: 100 * y + 9 * c)),
    "rgb24-core-2x2.bmp": bmp(2, 2, 24, rows(2, 2, 3, lambda x, y, c: 50 * x + 80 * y + c),
                              core=True),
    "rgb24-info-4x1-two-colours.bmp": bmp(4, 1, 24, rows(4, 1, 3, lambda x, y, c: x + c),
                                          bytes(8), colors_used=2),
    "rgb24-info-0x5.bmp": bmp(0, 5, 24, b""),
    "grey8-info-topdown.bmp": bmp(2, -2, 8, rows(2, 2, 1, lambda x, y, c: x), grey_palette(4)),
    "grey8-info-rle.bmp": bmp(2, 2, 8, b"\x02\x07\x00\x00\x02\x08\x00\x01", grey_palette(4),
                              compression=1),
    "rgb16-info-2x2.bmp": bmp(2, 2, 16, rows(2, 2, 2, lambda x, y, c: x + y)),
    "rgb24-info-3x2-cut.bmp": bmp(3, 2, 24, rows(3, 2, 3, lambda x, y, c: 1))[:-5],
}

for name, data in SEEDS.items():
    with open(os.path.join(HERE, "corpus", name), "wb") as f:
        f.write(data)
