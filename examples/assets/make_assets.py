#!/usr/bin/env python3
"""Makes the examples' pictures, sounds and MIDI pieces (Python's standard library; the JPEG through
ImageMagick's convert). Deterministic: running it again gives the same bytes.

    examples/assets/make_assets.py      writes examples/assets/<example>/...
"""
import math
import os
import struct
import subprocess
import sys
import wave

HERE = os.path.dirname(os.path.abspath(__file__))


def out(example, name):
    d = os.path.join(HERE, example)
    os.makedirs(d, exist_ok=True)
    return os.path.join(d, name)


# ---- pictures: 24-bit BMP from a function (x, y) -> (r, g, b)

def bmp(path, w, h, pixel):
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for x in range(w):
            r, g, b = pixel(x, y)
            line += bytes((int(b) & 255, int(g) & 255, int(r) & 255))
        data += line + b"\0" * (row - len(line))
    head = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(head + info + data)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


MAGENTA = (255, 0, 255)  # the colour key of the sprites


def hero(x, y):
    """A round green creature with eyes, 48 x 48, on the magenta key."""
    cx, cy = 23.5, 26.0
    d = math.hypot(x - cx, (y - cy) * 1.1)
    if d > 20:
        return MAGENTA
    if math.hypot(x - 16, y - 20) < 4.5 or math.hypot(x - 31, y - 20) < 4.5:
        return (255, 255, 255) if math.hypot(x - 17, y - 21) > 2 and math.hypot(x - 32, y - 21) > 2 else (20, 20, 40)
    if 30 < y < 34 and abs(x - cx) < 7:
        return (120, 30, 30)
    return mix((140, 230, 90), (40, 120, 40), d / 20)


def sky(x, y):
    """160 x 120: a sky gradient over two rows of hills (stretched to the whole screen)."""
    if y > 85 + 10 * math.sin(x / 17.0):
        return mix((70, 140, 60), (40, 100, 40), (y - 75) / 45)
    if y > 70 + 12 * math.sin(x / 27.0 + 1):
        return (100, 165, 90)
    return mix((70, 110, 220), (250, 200, 150), y / 85)


def star(x, y):
    """64 x 64: a five-pointed star on black (the effect blitters leave black out)."""
    dx, dy = x - 31.5, y - 31.5
    r = math.hypot(dx, dy)
    a = math.atan2(dy, dx) + math.pi / 2
    edge = 14 + 16 * abs(math.cos(a * 2.5)) ** 3
    if r > edge:
        return (0, 0, 0)
    return mix((255, 250, 160), (250, 150, 30), r / 30)


def paper(x, y):
    """80 x 60: a warm paper texture behind the text (stretched)."""
    n = ((x * 7919 + y * 104729) % 23) - 11
    return (228 + n, 214 + n, 180 + n)


def fade_tiles(x, y):
    """640 x 48: ten 64 x 48 tiles, tile k covering (k + 1) / 10 of its cells in dark blue; black is
    left out when the tiles are put, so each step of a fade covers more of the screen."""
    k = x // 64
    cell = ((x % 64) // 4) + 16 * ((y % 48) // 4)
    order = (cell * 37) % 192  # a fixed scattering of the 192 cells
    return (8, 8, 40) if order < (k + 1) * 192 // 10 else (0, 0, 0)


def night(x, y):
    """160 x 120: the second scene, a night sky with a moon and scattered stars over hills (stretched)."""
    if math.hypot(x - 115, y - 30) < 14:
        return mix((255, 250, 220), (220, 215, 180), math.hypot(x - 111, y - 26) / 18)
    if y > 95 + 7 * math.sin(x / 13.0):
        return mix((40, 70, 50), (20, 40, 30), (y - 88) / 32)
    if (x, y) in STARS:
        return (255, 255, 230)
    return mix((10, 10, 50), (60, 40, 110), y / 100)


STARS = set()
_seed = 12345
for _ in range(60):  # a small fixed linear congruential sequence: the same stars every run
    _seed = (_seed * 1103515245 + 12345) % 2 ** 31
    STARS.add((_seed % 160, (_seed // 160) % 90))


def still(x, y):
    """320 x 240: the still picture (a sunrise over the sea), saved as JPEG."""
    sun = math.hypot(x - 160, y - 120)
    if y > 120:
        base = mix((40, 70, 140), (10, 20, 60), (y - 120) / 120)
        glint = max(0.0, 1 - abs(x - 160) / (20 + (y - 120) * 0.6)) * (0.5 + 0.5 * math.sin(y * 1.3))
        return mix(base, (255, 200, 120), glint)
    if sun < 36:
        return (255, 230, 150)
    return mix((255, 150, 80), (90, 120, 200), (120 - y) / 120 + max(0, (80 - sun) / -400))


# ---- sounds: 16-bit mono WAVE

def wav(path, rate, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s)))) for s in samples))


def ping(rate=22050, seconds=0.3):
    n = int(rate * seconds)
    return [20000 * math.exp(-6 * i / n) * math.sin(2 * math.pi * 660 * i / rate) for i in range(n)]


def drone(rate=22050, seconds=6.0):
    """A soft chord that loops without a seam: every partial has a whole number of cycles in 6 s."""
    n = int(rate * seconds)
    partials = [(110.0, 5000), (165.0, 3000), (220.5, 2000), (277.0, 1200)]
    return [sum(a * math.sin(2 * math.pi * f * i / rate) for f, a in partials) *
            (0.75 + 0.25 * math.sin(2 * math.pi * i / n * 3)) for i in range(n)]


# ---- MIDI: format 0, 480 ticks a quarter note

def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, (n & 0x7F) | 0x80)
        n >>= 7
    return bytes(out)


def midi(path, bpm, channel, program, notes, volume=100):
    """notes: (start beat, length in beats, key, velocity); the piece loops cleanly after its last beat."""
    ev = []
    for start, length, key, vel in notes:
        ev.append((round(start * 480), 1, bytes((0x90 | channel, key, vel))))
        ev.append((round((start + length) * 480), 0, bytes((0x80 | channel, key, 0))))
    ev.sort()
    tempo = 60000000 // bpm
    body = vlq(0) + b"\xFF\x51\x03" + tempo.to_bytes(3, "big")
    body += vlq(0) + bytes((0xC0 | channel, program)) + vlq(0) + bytes((0xB0 | channel, 7, volume))
    t = 0
    for at, _, data in ev:
        body += vlq(at - t) + data
        t = at
    body += vlq(0) + b"\xFF\x2F\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480) + b"MTrk" + struct.pack(">I", len(body)) + body)


def melody():
    # A pentatonic tune over eight bars.
    keys = [72, 74, 76, 79, 76, 74, 72, 69, 67, 69, 72, 74, 76, 74, 72, 72]
    return [(i * 2, 1.8, k, 96) for i, k in enumerate(keys)]


def bass():
    roots = [48, 48, 45, 45, 41, 41, 43, 43]
    notes = []
    for bar, r in enumerate(roots):
        for beat in range(4):
            notes.append((bar * 4 + beat, 0.9, r + (7 if beat % 2 else 0), 90))
    return notes


def main():
    bmp(out("sprites", "hero.bmp"), 48, 48, hero)
    bmp(out("sprites", "sky.bmp"), 160, 120, sky)
    bmp(out("sprites", "star.bmp"), 64, 64, star)
    bmp(out("text", "paper.bmp"), 80, 60, paper)
    wav(out("sound", "ping.wav"), 22050, ping())
    os.makedirs(out("sound", "stream"), exist_ok=True)
    wav(os.path.join(HERE, "sound", "stream", "drone.wav"), 22050, drone())
    midi(out("sound", "melody.mid"), 120, 0, 73, melody())  # flute
    midi(out("sound", "bass.mid"), 120, 1, 32, bass())      # acoustic bass
    bmp(out("scenes", "fade.bmp"), 640, 48, fade_tiles)
    bmp(out("scenes", "night.bmp"), 160, 120, night)
    src = out("scenes", "still.bmp")
    bmp(src, 320, 240, still)
    subprocess.run(["convert", src, "-strip", "-quality", "90", "-sampling-factor", "2x2",
                    out("scenes", "still.jpg")], check=True)
    os.remove(src)
    return 0


if __name__ == "__main__":
    sys.exit(main())
