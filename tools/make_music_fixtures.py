#!/usr/bin/env python3
"""Writes the small standard MIDI files the music tests and the MIDI fuzz seeds use.

Run from the repository root: python3 tools/make_music_fixtures.py
"""
import os
import struct


def varlen(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def track(events):
    """events: list of (delta, bytes). An end-of-track event is appended."""
    body = b"".join(varlen(d) + e for d, e in events) + varlen(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body


def smf(fmt, division, tracks):
    return b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division) + b"".join(tracks)


TEMPO_120 = b"\xff\x51\x03\x07\xa1\x20"  # 500000 us per quarter note


def one_note(ticks, program=0, key=60):
    # A piano note held for `ticks` (480 per quarter note at 120 bpm: 480 ticks = 0.5 s).
    return smf(0, 480, [track([
        (0, TEMPO_120),
        (0, bytes([0xC0, program])),
        (0, bytes([0x90, key, 100])),
        (ticks, bytes([0x80, key, 0])),
    ])])


def tune():
    # Format 1: a tempo track, a melody with running status, a drum track on channel 10.
    conductor = track([(0, TEMPO_120), (0, b"\xff\x58\x04\x04\x02\x18\x08"), (0, b"\xff\x03\x04tune")])
    melody = [(0, bytes([0xC0, 73])), (0, bytes([0x90, 60, 90])), (240, bytes([60, 0]))]
    for key in (64, 67, 72):  # running status: note on, then note off as velocity 0
        melody += [(0, bytes([key, 90])), (240, bytes([key, 0]))]
    drums = []
    for _ in range(4):
        drums.append((0, bytes([0x99, 36, 110])))
        drums.append((240, bytes([0x89, 36, 0])))
    return smf(1, 480, [conductor, track(melody), track(drums)])


def main():
    out = os.path.join("tests", "data")
    os.makedirs(out, exist_ok=True)
    files = {
        "note_half_second.mid": one_note(480),
        "note_two_seconds.mid": one_note(1920, program=19, key=57),
        "tune.mid": tune(),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    seeds = os.path.join("fuzz", "corpus", "midi_fuzz")
    os.makedirs(seeds, exist_ok=True)
    for name in ("note_half_second.mid", "tune.mid"):
        with open(os.path.join(seeds, name), "wb") as f:
            f.write(files[name])


if __name__ == "__main__":
    main()
