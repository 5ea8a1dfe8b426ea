#!/usr/bin/env bash
# Writes the small media files the stream tests and the media fuzz seeds use, from FFmpeg's own
# test sources (Debian package ffmpeg). Run from the repository root.
set -euo pipefail
out=tests/data
seeds=fuzz/corpus/media_fuzz
mkdir -p "$out" "$seeds"
ff=(ffmpeg -hide_banner -loglevel error -y -bitexact)
# A 160 x 120 JPEG of FFmpeg's test pattern (every column differs), and a 32 x 24 PNG of four solid
# quadrants (red, green / blue, white).
"${ff[@]}" -f lavfi -i "testsrc=size=160x120:rate=1:duration=1" -frames:v 1 -q:v 2 "$out/picture.jpg"
python3 tools/make_png.py "$out/quadrants.png" 32 24
# Pictures at the height limit of a stream picture and a row past it.
python3 tools/make_png.py "$out/tall.png" 2 4096
python3 tools/make_png.py "$out/too_tall.png" 2 4097
# One second of a 440 Hz tone, mono 22050 Hz, as MP3.
"${ff[@]}" -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=1" -ac 1 -c:a libmp3lame -b:a 32k "$out/tone.mp3"
# A two-second video with sound: 64 x 48 at 10 frames a second, MPEG-4 part 2 and MP3 in AVI.
"${ff[@]}" -f lavfi -i "testsrc=size=64x48:rate=10:duration=2" -f lavfi -i "sine=frequency=330:sample_rate=22050:duration=2" \
  -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 32k -ac 1 "$out/clip.avi"
# A video whose sound stands in the file only after eighty pictures.
python3 tools/make_sparse_avi.py "$out/late_sound.avi"
# Fuzz seeds: the small ones.
cp "$out/quadrants.png" "$out/tone.mp3" "$seeds/"
"${ff[@]}" -f lavfi -i "testsrc=size=16x16:rate=1:duration=1" -frames:v 1 -q:v 5 "$seeds/small.jpg"
