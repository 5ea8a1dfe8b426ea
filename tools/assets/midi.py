"""A small standard MIDI file writer (format 1) and a note-string notation for the tunes."""
import re
import struct

PPQ = 480
NOTE_NAMES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def key(name):
    """'C4' = 60, 'F#5', 'Bb3'."""
    m = re.fullmatch(r"([A-G])([#b]?)(-?\d)", name)
    if not m:
        raise ValueError(name)
    k = NOTE_NAMES[m.group(1)] + (1 if m.group(2) == "#" else -1 if m.group(2) == "b" else 0)
    return k + 12 * (int(m.group(3)) + 1)


def parse(notes):
    """'C5:1 D5:0.5 r:0.5 C5+E5:2 | ...' -> [(keys or None, beats)]. Bars ('|') are only for reading."""
    out = []
    for tok in notes.replace("|", " ").split():
        n, d = tok.split(":")
        out.append((None if n == "r" else [key(x) for x in n.split("+")], float(d)))
    return out


def vlq(n):
    b = [n & 0x7F]
    n >>= 7
    while n:
        b.append((n & 0x7F) | 0x80)
        n >>= 7
    return bytes(reversed(b))


class Track:
    def __init__(self, name):
        self.events = []  # (tick, order, bytes)
        self.meta(0, 0x03, name.encode("ascii"))

    def add(self, tick, order, data):
        self.events.append((int(round(tick)), order, bytes(data)))

    def meta(self, tick, kind, data):
        self.add(tick, 0, b"\xff" + bytes([kind]) + vlq(len(data)) + data)

    def program(self, ch, prog, volume=100, pan=64, reverb=40, chorus=0):
        self.add(0, 1, [0xB0 | ch, 7, volume])
        self.add(0, 1, [0xB0 | ch, 10, pan])
        self.add(0, 1, [0xB0 | ch, 91, reverb])
        self.add(0, 1, [0xB0 | ch, 93, chorus])
        if ch != 9:
            self.add(0, 2, [0xC0 | ch, prog])

    def note(self, ch, beat, beats, k, vel, gate=0.9):
        on = beat * PPQ
        off = on + max(1, beats * gate * PPQ)
        # note-offs sort before note-ons at the same tick so repeated notes restart cleanly
        self.add(on, 4, [0x90 | ch, k, vel])
        self.add(off, 3, [0x80 | ch, k, 0])

    def line(self, ch, beat, notes, vel, gate=0.9, transpose=0):
        for keys, d in parse(notes):
            if keys:
                for k in keys:
                    self.note(ch, beat, d, k + transpose, vel, gate)
            beat += d
        return beat

    def chunk(self, end_tick):
        evs = sorted(self.events, key=lambda e: (e[0], e[1]))
        assert all(t <= end_tick for t, _, _ in evs), "event after the end of the piece"
        out = b""
        now = 0
        for t, _, data in evs:
            out += vlq(t - now) + data
            now = t
        out += vlq(end_tick - now) + b"\xff\x2f\x00"
        return b"MTrk" + struct.pack(">I", len(out)) + out


def write(path, tempo_bpm, beats_total, tracks, numerator=4, title="tune"):
    """Track 0 holds the tempo map; the piece ends exactly at beats_total (the loop point)."""
    end = int(round(beats_total * PPQ))
    conductor = Track(title)
    conductor.meta(0, 0x58, bytes([numerator, 2, 24, 8]))
    conductor.meta(0, 0x51, struct.pack(">I", int(round(60_000_000 / tempo_bpm)))[1:])
    check_balanced(tracks)
    data = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks) + 1, PPQ)
    data += conductor.chunk(end)
    for t in tracks:
        data += t.chunk(end)
    with open(path, "wb") as f:
        f.write(data)


def check_balanced(tracks):
    """Every note-on has its note-off inside the piece: nothing hangs over the loop point."""
    for t in tracks:
        held = {}
        for tick, _, d in sorted(t.events, key=lambda e: (e[0], e[1])):
            if d[0] & 0xF0 == 0x90 and d[2] > 0:
                held[(d[0] & 15, d[1])] = held.get((d[0] & 15, d[1]), 0) + 1
            elif d[0] & 0xF0 == 0x80:
                k = (d[0] & 15, d[1])
                assert held.get(k, 0) > 0, "note-off without note-on"
                held[k] -= 1
        assert not any(held.values()), "hanging notes"
