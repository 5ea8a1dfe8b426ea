#!/usr/bin/env bash
# Regenerates every game asset from the sources in assets/src/ into assets/ (pictures, sounds, MIDI
# pieces, the title picture and the title tune), then the contact sheet. The output is
# byte-identical from run to run: fixed seeds, no timestamps or metadata, pinned encoder settings.
#
# Debian packages it needs (not needed by the build): python3 python3-pil python3-numpy python3-cairo
# fonts-ipafont-gothic fonts-ipafont-mincho espeak-ng sox fluidsynth timgm6mb-soundfont lame
#
# Usage: tools/assets/generate.sh [MOCKUP_DIR]   (play/title mock-ups go to MOCKUP_DIR, default /tmp)
set -euo pipefail
cd "$(dirname "$0")/../.."
PY=/usr/bin/python3
SF2=/usr/share/sounds/sf2/TimGM6mb.sf2
out=assets
mock=${1:-/tmp}
mkdir -p "$mock"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

$PY assets/src/pictures.py "$out"
$PY assets/src/sounds.py "$out"
$PY assets/src/music.py "$out" "$tmp/title.mid"

# Title tune: the MIDI holds two passes; keep exactly the second one (bar-aligned, with the first
# pass's reverb tail under its start), peak-normalise to -1 dBFS and encode at fixed settings.
rate=44100
loop_seconds=38.4   # 16 bars of 4 beats at 100 beats a minute
loop=$(printf '%.0f' "$(echo "$loop_seconds * $rate" | bc -l)")
fluidsynth -ni -q -g 0.6 -r $rate -F "$tmp/title.wav" "$SF2" "$tmp/title.mid" >/dev/null 2>&1
sox -R -V1 "$tmp/title.wav" "$tmp/loop.wav" trim ${loop}s ${loop}s gain -n -1
lame --quiet --noreplaygain -m j -b 128 -q 2 "$tmp/loop.wav" "$out/progdir/titlebgm.mp3"

$PY tools/assets/preview.py "$out" "$mock"
echo "assets generated; mock-ups in $mock"
