"""The game's sound effects: the ready and go calls, the bite and the call for another bowl.

Voices are spoken by espeak-ng and shaped with sox (band limits, presence, compression) and numpy
(silence trim, exact length, fades, peak normalisation); the bite is synthesised here. Output:
mono, unsigned 8-bit, 11025 Hz, canonical 44-byte-header WAVE files of exact sample counts."""
import os
import struct
import subprocess
import sys
import tempfile

import numpy as np

RATE = 11025
PEAK = 0.94  # -0.5 dBFS: loud but clear of the 8-bit limits

# name, file, sample bytes, voice, speed, pitch, text, extra sox effects
VOICES = [
    ("S-READY", "s-ready.wav", 2712, "en-us+m3", 235, 78, "ready?", ["pitch", "120"]),
    ("S-GO", "s-go.wav", 3638, "en-us+m3", 150, 88, "go!", ["pitch", "150"]),
    ("OKAWARI", "okawari.wav", 3439, "ja", 250, 82, "おかわり!", ["pitch", "200"]),
]


def run(cmd):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def read_raw(path):
    return np.fromfile(path, dtype="<f4").astype(np.float64)


def sox_to_float(src, dst, effects):
    run(["sox", "-R", "-V1", src, "-r", str(RATE), "-c", "1", "-e", "floating-point", "-b", "32", "-t", "raw",
         dst] + effects)


def trim(x, thresh=0.02):
    loud = np.nonzero(np.abs(x) > thresh * np.max(np.abs(x)))[0]
    return x[loud[0]:loud[-1] + 1]


def fit(x, n):
    """Exact length n: pad with silence or cut, with short fades so nothing clicks."""
    if len(x) >= n:
        x = x[:n].copy()
    else:
        x = np.concatenate([x, np.zeros(n - len(x))])
    fi = min(24, n // 8)
    fo = min(110, n // 4)
    x[:fi] *= np.linspace(0, 1, fi)
    # fade over the last `fo` samples of the sound itself (before any padding)
    end = min(n, len(np.trim_zeros(x, "b")))
    if end > fo:
        x[end - fo:end] *= np.linspace(1, 0, fo)
    return x


def normalise(x):
    return x * (PEAK / np.max(np.abs(x)))


def write_wav8(path, x):
    """Canonical 44-byte header; an odd data chunk is followed by the RIFF pad byte."""
    u8 = np.clip(np.rint(x * 127.0) + 128, 0, 255).astype(np.uint8).tobytes()
    pad = b"\0" if len(u8) % 2 else b""
    head = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(u8) + len(pad), b"WAVE", b"fmt ", 16, 1, 1, RATE,
                       RATE, 1, 8, b"data", len(u8))
    with open(path, "wb") as f:
        f.write(head + u8 + pad)


def voice(tmp, voice_name, speed, pitch, text, extra, n):
    spoken = os.path.join(tmp, "v.wav")
    run(["espeak-ng", "-v", voice_name, "-s", str(speed), "-p", str(pitch), "-a", "160", "-w", spoken, text])
    # Voice shaping at the espeak rate: cut rumble and hiss, lift presence, raise the pitch, even out.
    shaped = os.path.join(tmp, "s.wav")
    run(["sox", "-R", "-V1", spoken, shaped, "highpass", "140", "lowpass", "5000"] + extra +
        ["equalizer", "2600", "1.2q", "+5", "compand", "0.005,0.08", "6:-40,-30,-12,-8,0,-4", "-6", "0", "0.01",
         "gain", "-n", "-3"])
    raw = os.path.join(tmp, "r.raw")
    sox_to_float(shaped, raw, [])
    x = trim(read_raw(raw))
    # Time-fit to the wanted length (pitch kept), leaving room for the tail fade.
    target = n - 40
    if len(x) > target:
        tempo = len(x) / float(target)
        sox_to_float(shaped, raw, ["tempo", "-s", "%.4f" % tempo])
        x = trim(read_raw(raw))
    return normalise(fit(x, n))


def paku(n):
    """A bite: a soft crunch over a short falling 'puk'."""
    t = np.arange(n) / RATE
    rng = np.random.default_rng(551)
    f = 780.0 * np.exp(-t * 38.0) + 170.0
    phase = 2 * np.pi * np.cumsum(f) / RATE
    tone = np.sin(phase) * np.exp(-t * 70.0) * np.minimum(1.0, t * RATE / 12.0)
    noise = rng.standard_normal(n)
    # brighten the noise (first difference) and gate it into two quick crunch grains
    crunch = np.diff(noise, prepend=0.0) * (np.exp(-t * 160.0) + 0.55 * np.exp(-np.maximum(t - 0.018, 0) * 220.0)
                                            * (t > 0.018))
    x = 0.85 * tone + 0.35 * crunch
    x[:10] *= np.linspace(0, 1, 10)
    x[-60:] *= np.linspace(1, 0, 60)
    return normalise(x)


def main(root):
    out = os.path.join(root, "wav")
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        for name, fname, n, v, speed, pitch, text, extra in VOICES:
            write_wav8(os.path.join(out, fname), voice(tmp, v, speed, pitch, text, extra, n))
    write_wav8(os.path.join(out, "paku.wav"), paku(551))


if __name__ == "__main__":
    main(sys.argv[1])
