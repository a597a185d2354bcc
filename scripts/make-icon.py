#!/usr/bin/env python3
"""Draws the installer's icon (the logo's wave on the window's dark ground)
and writes it as a Windows .ico with PNG images of 16, 32, 48 and 256 pixels.
Run again only when the drawing changes: app/windows/OrlaDesk.ico is kept in the tree."""
import math
import struct
import sys
import zlib

GROUND = (30, 27, 36)
WAVE = (255, 204, 0)


def coverage(size, x, y):
    """How much of pixel (x, y) the rounded square and the wave cover, by 4x4 samples."""
    ground = wave = 0
    radius = size * 0.22
    for sy in range(4):
        for sx in range(4):
            px = (x + (sx + 0.5) / 4) / size
            py = (y + (sy + 0.5) / 4) / size
            cx = min(max(px, 0.22), 0.78)
            cy = min(max(py, 0.22), 0.78)
            if math.hypot(px - cx, py - cy) * size <= radius:
                ground += 1
            if 0.18 <= px <= 0.82:
                t = (px - 0.18) / 0.64
                wy = 0.5 - 0.16 * math.sin(t * 2 * math.pi)
                if abs(py - wy) <= 0.075:
                    wave += 1
    return ground / 16, wave / 16


def png(size):
    rows = bytearray()
    for y in range(size):
        rows.append(0)
        for x in range(size):
            ground, wave = coverage(size, x, y)
            colour = [round(g + (w - g) * wave) for g, w in zip(GROUND, WAVE)]
            rows += bytes(colour + [round(255 * ground)])

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")


def ico(sizes):
    images = [png(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(ico([16, 32, 48, 256]))
