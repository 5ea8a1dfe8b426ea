#!/usr/bin/env python3
"""Writes an AVI whose sound starts only after many pictures in the file: make_sparse_avi.py OUT

Eighty 2 x 2 pictures (uncompressed, 25 a second) are stored first, then half a second of a 440 Hz
tone (16-bit mono PCM, 22050 Hz), and no index, so a reader meets every picture before any sound."""
import math
import struct
import sys


def chunk(fourcc, data):
    return fourcc + struct.pack("<I", len(data)) + data + (b"\0" if len(data) & 1 else b"")


def lst(kind, *parts):
    return chunk(b"LIST", kind + b"".join(parts))


def main():
    frames, rate, samples = 80, 22050, 11025
    avih = struct.pack("<14I", 40000, 0, 0, 0, frames, 0, 2, 0, 2, 2, 0, 0, 0, 0)
    vids = struct.pack("<4s4sIHHIIIIIIII4h", b"vids", b"DIB ", 0, 0, 0, 0, 1, 25, 0, frames, 16, 0xFFFFFFFF, 0, 0, 0, 2, 2)
    bih = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 24, 0, 16, 0, 0, 0, 0)
    auds = struct.pack("<4s4sIHHIIIIIIII4h", b"auds", b"\0\0\0\0", 0, 0, 0, 0, 2, 2 * rate, 0, samples, 0, 0xFFFFFFFF, 2, 0, 0, 0, 0)
    wfx = struct.pack("<HHIIHHH", 1, 1, rate, 2 * rate, 2, 16, 0)
    hdrl = lst(b"hdrl", chunk(b"avih", avih), lst(b"strl", chunk(b"strh", vids), chunk(b"strf", bih)),
               lst(b"strl", chunk(b"strh", auds), chunk(b"strf", wfx)))
    pictures = [chunk(b"00db", bytes([(i * 3) & 0xFF] * 6 + [0, 0]) * 2) for i in range(frames)]
    tone = [int(12000 * math.sin(2 * math.pi * 440 * n / rate)) for n in range(samples)]
    sound = [chunk(b"01wb", struct.pack("<%dh" % 2205, *tone[i:i + 2205])) for i in range(0, samples, 2205)]
    movi = lst(b"movi", *pictures, *sound)
    body = b"AVI " + hdrl + movi
    with open(sys.argv[1], "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


if __name__ == "__main__":
    main()
