#!/usr/bin/env python3
"""Writes a PNG of four solid quadrants (red, green / blue, white): make_png.py OUT WIDTH HEIGHT"""
import struct
import sys
import zlib


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def main():
    out, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rows = []
    for y in range(h):
        row = bytearray([0])  # filter: none
        for x in range(w):
            top, left = y < h // 2, x < w // 2
            row += bytes((255, 0, 0) if top and left else (0, 255, 0) if top else (0, 0, 255) if left else (255, 255, 255))
        rows.append(bytes(row))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    with open(out, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
