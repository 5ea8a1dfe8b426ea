#!/usr/bin/env bash
# Makes the menu icons of the hicolor theme from the game's own 64 x 64 window icon
# (assets/icon/main.bmp, drawn by assets/src/pictures.py): the icon itself and whole-number
# enlargements by pixel repetition, so the larger sizes stay as crisp as the original.
# Run after the window icon changes; the PNGs are kept in the tree, so building needs no image tools.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$here/../assets/icon/main.bmp
for size in 64 128 256; do
  convert "$src" -filter point -resize "${size}x${size}" -strip "PNG32:$here/icons/oomori-$size.png"
done
