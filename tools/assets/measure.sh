#!/usr/bin/env bash
# Measures the generated audio: levels and lengths of the sounds and the title tune with sox, and
# each MIDI piece rendered with FluidSynth (level, and what is left after the loop point: a note that
# hangs over the end keeps sounding there, a clean ending leaves only the reverb's fading tail).
set -euo pipefail
cd "$(dirname "$0")/../.."
SF2=/usr/share/sounds/sf2/TimGM6mb.sf2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
stat_line() { sox "$@" -n stats 2>&1 | awk '/Pk lev dB/{pk=$4} /RMS lev dB/{rms=$4} /Length s/{len=$3} END{printf "peak %s dB  rms %s dB  length %s s\n", pk, rms, len}'; }
for f in assets/wav/*.wav; do
  printf '%-24s samples %5s  ' "$(basename "$f")" "$(soxi -s "$f")"; stat_line "$f"
done
ffmpeg -v error -y -i assets/progdir/titlebgm.mp3 "$tmp/title.wav"
printf '%-24s ' titlebgm.mp3; stat_line "$tmp/title.wav"
for m in assets/midi/*.mid; do
  n=$(basename "$m" .mid)
  fluidsynth -ni -q -g 0.6 -r 44100 -F "$tmp/$n.wav" "$SF2" "$m" >/dev/null 2>&1
  end=$(/usr/bin/python3 - "$m" <<'PY'
import struct, sys
d = open(sys.argv[1], "rb").read()
div = struct.unpack(">H", d[12:14])[0]
# tempo and end tick of the first track (tempo map)
p = 14 + 8; tick = 0; tempo = 500000
while True:
    v = 0
    while True:
        b = d[p]; p += 1; v = (v << 7) | (b & 127)
        if b < 128: break
    tick += v
    if d[p] == 0xFF:
        kind = d[p + 1]; ln = d[p + 2]
        if kind == 0x51: tempo = int.from_bytes(d[p + 3:p + 6], "big")
        if kind == 0x2F: break
        p += 3 + ln
print("%.4f" % (tick / div * tempo / 1e6))
PY
)
  printf '%-24s loop %7.3f s  ' "$n.mid" "$end"; stat_line "$tmp/$n.wav"
  printf '%-24s after the loop point: ' ""
  for off in 0.5 1.0 2.0; do
    rms=$(sox "$tmp/$n.wav" -n trim "$(echo "$end + $off" | bc -l)" 0.25 stats 2>&1 | awk '/RMS lev dB/{print $4}')
    printf '+%ss %s dB  ' "$off" "$rms"
  done
  echo
done
