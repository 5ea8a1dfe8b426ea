#!/usr/bin/env python3
"""Writes the small BMP files that seed fuzz/bmp_fuzz.cpp and that tests/pack_test.cpp decodes.

Every picture shows the same pattern: pixel (x, y) has colour P[(x + y) % 4] (P[(x + y) % 2] of
black and white for 1 bit). Run from the repository root."""
import struct

P = [0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF]
OUT = "fuzz/corpus/bmp_fuzz/"


def colour(x, y, bpp):
    return (0x000000, 0xFFFFFF)[(x + y) % 2] if bpp == 1 else P[(x + y) % 4]


def info(w, h, bpp, comp=0, clr=0, size=40, masks=None):
    hdr = struct.pack("<IiiHHIIiiII", size, w, h, 1, bpp, comp, 0, 2835, 2835, clr, 0)
    if size > 40:
        m = masks or (0, 0, 0)
        hdr += struct.pack("<IIII", m[0], m[1], m[2], 0)
        hdr += b"\0" * (size - len(hdr))
    return hdr


def rows(w, h, bpp, enc, topdown=False):
    out = b""
    order = range(h) if topdown else range(h - 1, -1, -1)
    for y in order:
        if bpp < 8:
            bits = 0
            n = 0
            row = b""
            for x in range(w):
                bits = (bits << bpp) | enc(x, y)
                n += bpp
                if n == 8:
                    row += bytes([bits])
                    bits, n = 0, 0
            if n:
                row += bytes([bits << (8 - n)])
        else:
            row = b"".join(enc(x, y) for x in range(w))
        row += b"\0" * ((4 - len(row) % 4) % 4)
        out += row
    return out


def bmp(name, header, palette, data, filehdr=True):
    body = header + palette
    blob = body + data
    if filehdr:
        blob = b"BM" + struct.pack("<IHHI", 14 + len(blob), 0, 0, 14 + len(body)) + blob
    open(OUT + name, "wb").write(blob)


def pal(colours, entry=4):
    out = b""
    for c in colours:
        out += bytes([c & 255, (c >> 8) & 255, (c >> 16) & 255]) + (b"\0" if entry == 4 else b"")
    return out


def idx(bpp):
    return lambda x, y: (x + y) % (2 if bpp == 1 else 4)


W, H = 5, 3
bmp("c1.bmp", info(W, H, 1, clr=2), pal([0, 0xFFFFFF]), rows(W, H, 1, idx(1)))
bmp("c4.bmp", info(W, H, 4, clr=4), pal(P), rows(W, H, 4, idx(4)))
bmp("c8_topdown.bmp", info(W, -H, 8, clr=4), pal(P), rows(W, H, 8, lambda x, y: bytes([(x + y) % 4]), True))


def c555(x, y):
    c = colour(x, y, 16)
    return struct.pack("<H", ((c >> 19) & 31) << 10 | ((c >> 11) & 31) << 5 | ((c >> 3) & 31))


def c565(x, y):
    c = colour(x, y, 16)
    return struct.pack("<H", ((c >> 19) & 31) << 11 | ((c >> 10) & 63) << 5 | ((c >> 3) & 31))


bmp("c16.bmp", info(W, H, 16), b"", rows(W, H, 16, c555))
bmp("c16_565.bmp", info(W, H, 16, comp=3), struct.pack("<III", 0xF800, 0x07E0, 0x001F), rows(W, H, 16, c565))
bmp("c24.bmp", info(W, H, 24), b"", rows(W, H, 24, lambda x, y: struct.pack("<I", colour(x, y, 24))[:3]))
bmp("c32_topdown.bmp", info(W, -H, 32), b"", rows(W, H, 32, lambda x, y: struct.pack("<I", colour(x, y, 32)), True))


def rgba(x, y):
    c = colour(x, y, 32)
    r, g, b = (c >> 16) & 255, (c >> 8) & 255, c & 255
    return struct.pack("<I", r << 8 | g << 16 | b << 24 | 0x80)


bmp("c32_v5.bmp", info(W, H, 32, comp=3, size=124, masks=(0x0000FF00, 0x00FF0000, 0xFF000000)), b"",
    rows(W, H, 32, rgba))
core = struct.pack("<IHHHH", 12, W, H, 1, 8)
bmp("core8.bmp", core, pal(P, 3), rows(W, H, 8, lambda x, y: bytes([(x + y) % 4])))
bmp("dib8.bin", info(W, H, 8, clr=4), pal(P), rows(W, H, 8, lambda x, y: bytes([(x + y) % 4])), filehdr=False)
# Run-length compressed: refused.
bmp("rle8.bmp", info(W, H, 8, comp=1, clr=4), pal(P), bytes([5, 0, 0, 0, 5, 1, 0, 0, 5, 2, 0, 1]))
