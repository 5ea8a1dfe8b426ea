#!/usr/bin/env bash
# Makes the media fixtures of the game tests (tests/data/title_bands.jpg).
# A 640 x 480 title picture in three upright bands: red 0-299, blue 300-599, green 600-639. The game
# takes its left 600 columns and widens them to the screen, so red and blue share the screen and the
# green band is never shown.
set -euo pipefail
cd "$(dirname "$0")/.."
convert -size 300x480 xc:'#ff0000' -size 300x480 xc:'#0000ff' -size 40x480 xc:'#00ff00' +append \
  -quality 95 -sampling-factor 1x1 tests/data/title_bands.jpg
