"""The game's music, composed here note by note: the play tunes (MUSIC1, MUSIC2), the result tune
(MUSIC3), the time-up jingle (OWARI) and the title tune (rendered to titlebgm.mp3 by generate.sh).
General MIDI programs; drums on channel 10 (index 9). Every piece ends on a bar line with all
notes released, so a repeating player loops it cleanly."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "assets"))
from midi import Track, key, write  # noqa: E402

# General MIDI programs (0-based) and drum keys.
PIANO, BRIGHT_PIANO, GLOCK, VIBES, MARIMBA = 0, 1, 9, 11, 12
ACOUSTIC_BASS, FINGER_BASS, PICK_BASS = 32, 33, 34
STRINGS, SLOW_STRINGS, PIZZICATO = 48, 49, 45
TRUMPET, BRASS, FLUTE, PICCOLO, SHAKUHACHI = 56, 61, 73, 72, 77
SHAMISEN, KOTO, TAIKO = 106, 107, 116
KICK, SIDE_STICK, SNARE, CLAP, CLOSED_HAT, OPEN_HAT, CRASH, RIDE = 36, 37, 38, 39, 42, 46, 49, 51
LOW_TOM, MID_TOM, HIGH_TOM, TAMBOURINE, COWBELL, SHAKER, WOODBLOCK = 45, 47, 50, 54, 56, 70, 76

CHORDS = {
    "C": ["C", "E", "G"], "D": ["D", "F#", "A"], "E": ["E", "G#", "B"], "F": ["F", "A", "C"],
    "G": ["G", "B", "D"], "A": ["A", "C#", "E"], "Bb": ["Bb", "D", "F"], "Am": ["A", "C", "E"],
    "Bm": ["B", "D", "F#"], "Dm": ["D", "F", "A"], "Em": ["E", "G", "B"], "Gm": ["G", "Bb", "D"],
    "F#m": ["F#", "A", "C#"],
}


def chord_keys(name, octave):
    """Close voicing from the root upward in the given octave."""
    ks = []
    for n in CHORDS[name]:
        k = key(n + str(octave))
        while ks and k <= ks[-1]:
            k += 12
        ks.append(k)
    return ks


def root_key(name, octave):
    return key(CHORDS[name][0] + str(octave))


def expand(changes):
    """'D G | Bm A' (one or two chords a bar) -> [(beat, beats, chord)]."""
    out = []
    beat = 0.0
    for bar in changes.split("|"):
        names = bar.split()
        if not names:
            continue
        each = 4.0 / len(names)
        for n in names:
            out.append((beat, each, n))
            beat += each
    return out


def drum(t, beat, k, vel, beats=0.25):
    t.note(9, beat, beats, k, vel, gate=1.0)


# ---------------------------------------------------------------- MUSIC2: the play tune

def music2(path):
    bpm, bars = 168, 16
    mel_a1 = ("A4:0.5 D5:0.5 E5:0.5 F#5:0.5 A5:1 F#5:0.5 E5:0.5 | D5:0.5 E5:0.5 F#5:1 E5:0.5 D5:0.5 B4:1 | "
              "A4:0.5 B4:0.5 D5:0.5 E5:0.5 F#5:0.5 E5:0.5 D5:0.5 B4:0.5 | A4:1.5 B4:0.5 A4:2 |")
    mel_a2 = ("A4:0.5 D5:0.5 E5:0.5 F#5:0.5 A5:1 B5:0.5 A5:0.5 | F#5:0.5 A5:0.5 B5:1 A5:0.5 F#5:0.5 E5:1 | "
              "D5:0.5 E5:0.5 F#5:0.5 A5:0.5 E5:0.5 F#5:0.5 D5:0.5 E5:0.5 | D5:3 r:1 |")
    mel_b = ("B5:1 A5:0.5 F#5:0.5 A5:1 F#5:1 | E5:0.5 F#5:0.5 E5:0.5 D5:0.5 B4:2 | D5:1 E5:0.5 F#5:0.5 A5:1 B5:1 | "
             "A5:3 r:1 | B5:0.5 B5:0.5 A5:0.5 F#5:0.5 A5:0.5 A5:0.5 F#5:0.5 E5:0.5 | "
             "D5:0.5 E5:0.5 F#5:0.5 E5:0.5 D5:1 B4:1 | A4:0.5 B4:0.5 D5:0.5 E5:0.5 F#5:1 E5:1 | D5:3 r:1 |")
    changes = "D | G | D Bm | A | D | G | D A | D | G | D Em | G | A | G | D Bm | A | D"
    lead = Track("shamisen")
    lead.program(0, SHAMISEN, volume=108, pan=56, reverb=30)
    b = lead.line(0, 0, mel_a1, 104, gate=0.8)
    b = lead.line(0, b, mel_a2, 104, gate=0.8)
    lead.line(0, b, mel_b, 108, gate=0.8)
    flute = Track("piccolo")
    flute.program(1, PICCOLO, volume=70, pan=84, reverb=50)
    flute.line(1, 32, mel_b, 84, gate=0.85)  # doubles the second half an octave up (piccolo sounds high)
    comp = Track("piano")
    comp.program(2, BRIGHT_PIANO, volume=78, pan=72, reverb=35)
    bass = Track("bass")
    bass.program(3, FINGER_BASS, volume=104, pan=64, reverb=10)
    for beat, beats, ch in expand(changes):
        ks = chord_keys(ch, 4)
        r = root_key(ch, 2)
        fifth = r + 7
        for k in range(int(beats * 2)):
            b = beat + k * 0.5
            if k % 2 == 1:  # off-beat stabs
                for kk in ks:
                    comp.note(2, b, 0.5, kk, 70, gate=0.45)
            pat = [r, r + 12, fifth, r + 12][k % 4]
            bass.note(3, b, 0.5, pat, 100 if k % 2 == 0 else 84, gate=0.7)
    drums = Track("drums")
    drums.program(9, 0, volume=100, reverb=20)
    for bar in range(bars):
        b0 = bar * 4
        fill = bar % 8 == 7
        for e in range(8):
            b = b0 + e * 0.5
            if fill and e >= 4:
                drum(drums, b, [HIGH_TOM, MID_TOM, LOW_TOM, LOW_TOM][e - 4], 100)
                continue
            drum(drums, b, CLOSED_HAT, 70 if e % 2 else 86)
            if e in (0, 4, 5):
                drum(drums, b, KICK, 110)
            if e in (2, 6):
                drum(drums, b, SNARE, 96)
                drum(drums, b, CLAP, 60)
        drum(drums, b0 + 1.5, WOODBLOCK, 64)
        if bar % 4 == 0:
            drum(drums, b0, CRASH if bar % 8 == 0 else OPEN_HAT, 88, beats=0.5)
    write(path, bpm, bars * 4, [lead, flute, comp, bass, drums], title="MUSIC2")


# ---------------------------------------------------------------- MUSIC1: a second play tune (minyo style)

def music1(path):
    bpm, bars = 150, 8
    mel = ("A4:0.5 C5:0.5 D5:1 E5:1 G5:0.5 E5:0.5 | D5:0.5 E5:0.5 D5:0.5 C5:0.5 A4:2 | "
           "C5:0.5 D5:0.5 E5:1 G5:1 A5:1 | G5:0.5 E5:0.5 D5:0.5 E5:0.5 G5:2 | "
           "A5:1 G5:0.5 E5:0.5 D5:1 E5:0.5 G5:0.5 | E5:0.5 D5:0.5 C5:0.5 D5:0.5 E5:2 | "
           "D5:0.5 C5:0.5 A4:1 C5:0.5 D5:0.5 E5:1 | A4:3 r:1 |")
    changes = "Am | Am | C | G | Am | C | G | Am"
    lead = Track("shakuhachi")
    lead.program(0, SHAKUHACHI, volume=104, pan=60, reverb=50)
    lead.line(0, 0, mel, 100, gate=0.92)
    koto = Track("koto")
    koto.program(1, KOTO, volume=84, pan=80, reverb=40)
    bass = Track("bass")
    bass.program(2, PICK_BASS, volume=100, reverb=10)
    for beat, beats, ch in expand(changes):
        ks = chord_keys(ch, 4)
        for k in range(int(beats * 2)):
            koto.note(1, beat + k * 0.5, 0.5, ks[[0, 1, 2, 1][k % 4]], 72, gate=0.8)
        r = root_key(ch, 2)
        for k, (off, d) in enumerate(((0, 1), (1.5, 0.5), (2, 1), (3, 1))):
            bass.note(2, beat + off, d, r + (7 if k == 2 else 0), 100, gate=0.75)
    drums = Track("taiko")
    drums.program(9, 0, volume=104, reverb=30)
    for bar in range(bars):
        b0 = bar * 4
        for off, k, v in ((0, LOW_TOM, 110), (0, KICK, 100), (1, SIDE_STICK, 80), (1.5, LOW_TOM, 90),
                          (2, LOW_TOM, 110), (2, KICK, 100), (3, SIDE_STICK, 80), (3.5, MID_TOM, 84)):
            drum(drums, b0 + off, k, v)
        for e in range(8):
            drum(drums, b0 + e * 0.5, SHAKER, 56 if e % 2 else 70)
    write(path, bpm, bars * 4, [lead, koto, bass, drums], title="MUSIC1")


# ---------------------------------------------------------------- MUSIC3: the result tune

def music3(path):
    bpm, bars = 108, 16
    mel = ("A4:1 C5:1 F5:1.5 E5:0.5 | D5:1 C5:1 A4:2 | Bb4:1 D5:1 G5:1.5 F5:0.5 | E5:2 C5:2 | "
           "A4:1 C5:1 F5:1.5 G5:0.5 | A5:1 G5:1 F5:1 D5:1 | C5:1 A4:1 G4:1 E5:1 | F5:3 r:1 |")
    changes = "F | Dm | Bb | C | F | Dm | C | F"
    lead = Track("marimba")
    lead.program(0, MARIMBA, volume=110, pan=56, reverb=45)
    b = lead.line(0, 0, mel, 100, gate=0.9)
    lead.line(0, b, mel, 92, gate=0.9, transpose=-12)
    flute = Track("flute")
    flute.program(1, FLUTE, volume=92, pan=76, reverb=55)
    flute.line(1, 32, mel, 92, gate=0.95)
    pad = Track("strings")
    pad.program(2, SLOW_STRINGS, volume=66, pan=64, reverb=60)
    bass = Track("bass")
    bass.program(3, ACOUSTIC_BASS, volume=104, reverb=20)
    vib = Track("vibes")
    vib.program(4, VIBES, volume=70, pan=88, reverb=50)
    for half in (0, 32):
        for beat, beats, ch in expand(changes):
            beat += half
            ks = chord_keys(ch, 4)
            for kk in ks:
                pad.note(2, beat, beats, kk - 12 if kk > key("C5") else kk, 56, gate=0.98)
            r = root_key(ch, 2)
            for k, off in enumerate((0, 1, 2, 3)):
                bass.note(3, beat + off, 1, [r, r + 7, r + 12, r + 7][k], 96, gate=0.8)
            if half:
                for k in range(8):
                    vib.note(4, beat + k * 0.5, 0.5, ks[[0, 1, 2, 1, 2, 1, 0, 1][k]] + 12, 60, gate=0.8)
    drums = Track("drums")
    drums.program(9, 0, volume=84, reverb=30)
    for bar in range(bars):
        b0 = bar * 4
        drum(drums, b0, KICK, 90)
        drum(drums, b0 + 2, KICK, 76)
        drum(drums, b0 + 2.5, KICK, 64)
        drum(drums, b0 + 1, SIDE_STICK, 80)
        drum(drums, b0 + 3, SIDE_STICK, 80)
        for e in range(8):
            drum(drums, b0 + e * 0.5, SHAKER, 50 if e % 2 else 64)
    write(path, bpm, bars * 4, [lead, flute, pad, bass, vib, drums], title="MUSIC3")


# ---------------------------------------------------------------- OWARI: the time-up jingle

def owari(path):
    bpm = 132
    brass = Track("brass")
    brass.program(0, BRASS, volume=108, pan=64, reverb=45)
    trumpet = Track("trumpet")
    trumpet.program(1, TRUMPET, volume=110, pan=70, reverb=45)
    # ta-ta-ta, ta-ta-ta, taaan
    trumpet.line(1, 0, "G4:0.333 G4:0.333 G4:0.334 Eb5:1 F5:0.333 F5:0.333 F5:0.334 G5:0.5 r:0.5 "
                        "G5+C6:3 r:1", 112, gate=0.85)
    brass.line(0, 0, "r:1 G3+C4+Eb4:1 r:1 Bb3+D4+F4:0.5 r:0.5 C4+E4+G4:3 r:1", 100, gate=0.9)
    bass = Track("bass")
    bass.program(2, FINGER_BASS, volume=104, reverb=20)
    bass.line(2, 0, "C2:1 Ab1:1 r:1 Bb1:0.5 r:0.5 C2:3 r:1", 104, gate=0.9)
    drums = Track("drums")
    drums.program(9, 0, volume=104, reverb=40)
    for e in range(12):
        drum(drums, e / 3.0, SNARE, 60 + 4 * e, beats=0.3)
    drum(drums, 1, KICK, 110)
    drum(drums, 3, KICK, 110)
    drum(drums, 4, KICK, 120)
    drum(drums, 4, CRASH, 112, beats=3)
    write(path, bpm, 8, [brass, trumpet, bass, drums], title="OWARI")


# ---------------------------------------------------------------- title tune

def title(path, reps=1):
    """The title tune; reps > 1 writes it several times over, for rendering a seamless loop."""
    bpm, bars = 100, 16
    a = "G4:0.5 B4:0.5 D5:1 B4:0.5 D5:0.5 G5:1"
    mel = (a + " | F#5:0.5 E5:0.5 D5:1 B4:1 G4:1 | A4:0.5 B4:0.5 C5:1 E5:1 D5:0.5 C5:0.5 | B4:1 A4:1 D4:2 | " +
           a + " | A5:0.5 G5:0.5 F#5:1 E5:1 D5:1 | C5:0.5 E5:0.5 D5:1 A4:1 F#4:1 | G4:3 r:1 | "
           "E5:1 E5:0.5 F#5:0.5 G5:1 E5:1 | D5:1 B4:0.5 D5:0.5 G4:2 | C5:1 C5:0.5 D5:0.5 E5:1 C5:1 | "
           "B4:1 G4:0.5 B4:0.5 D5:2 | " +
           a + " | A5:0.5 B5:0.5 A5:1 G5:1 E5:1 | D5:1 B4:0.5 C5:0.5 A4:1 F#4:1 | G4:3 r:1 |")
    changes = "G | Em | Am | D | G | D | C D | G | C | G | Am | D | G | D | C D | G"
    glock = Track("glockenspiel")
    glock.program(0, GLOCK, volume=80, pan=80, reverb=55)
    lead = Track("flute")
    lead.program(1, FLUTE, volume=100, pan=52, reverb=50)
    piano = Track("piano")
    piano.program(2, PIANO, volume=84, pan=70, reverb=45)
    pizz = Track("pizzicato")
    pizz.program(3, PIZZICATO, volume=84, pan=40, reverb=45)
    bass = Track("bass")
    bass.program(4, ACOUSTIC_BASS, volume=104, reverb=20)
    pad = Track("strings")
    pad.program(5, STRINGS, volume=60, pan=64, reverb=60)
    drums = Track("drums")
    drums.program(9, 0, volume=80, reverb=30)
    for rep in range(reps):
        o = rep * bars * 4
        glock.line(0, o, mel, 80, gate=0.8)
        lead.line(1, o, mel, 96, gate=0.92)
        for beat, beats, ch in expand(changes):
            ks = chord_keys(ch, 4)
            r = root_key(ch, 2)
            for k in range(int(beats)):
                b = o + beat + k
                for kk in ks:
                    piano.note(2, b + 0.5, 0.5, kk, 62, gate=0.6)
                bass.note(4, b, 1, r if k % 2 == 0 else r + 7, 96, gate=0.7)
                pizz.note(3, b, 0.5, ks[k % 3] - 12, 70, gate=0.6)
            if beat >= 32:
                for kk in ks:
                    pad.note(5, o + beat, beats, kk, 52, gate=0.98)
        for bar in range(bars):
            b0 = o + bar * 4
            drum(drums, b0, KICK, 86)
            drum(drums, b0 + 2, KICK, 76)
            drum(drums, b0 + 1, SNARE, 62)
            drum(drums, b0 + 3, SNARE, 62)
            for e in range(8):
                drum(drums, b0 + e * 0.5, TAMBOURINE if e % 2 else CLOSED_HAT, 46 if e % 2 else 58)
    write(path, bpm, reps * bars * 4, [glock, lead, piano, pizz, bass, pad, drums], title="title")
    return reps * bars * 4 * 60.0 / bpm


def main(root, title_out):
    out = os.path.join(root, "midi")
    os.makedirs(out, exist_ok=True)
    music1(os.path.join(out, "music1.mid"))
    music2(os.path.join(out, "music2.mid"))
    music3(os.path.join(out, "music3.mid"))
    owari(os.path.join(out, "owari.mid"))
    # The title tune twice over: generate.sh renders it and keeps the second pass, whose start
    # carries the reverb tail of the first, so the cut loops without a seam.
    title(title_out, reps=2)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
