#!/usr/bin/env bash
# Plays one short game in a real X window: the built binary under Xvfb, driven with xdotool.
# Checks the exit status, rank.dat and screenshots of the title, play and result screens.
# Usage: bash tests/window_test.sh <build dir>
set -u

BUILD=$(cd "${1:?usage: window_test.sh <build dir>}" && pwd)
# The source tree: the nearest directory above this script that holds the asset manifest.
SRC=$(cd "$(dirname "$0")" && while [ ! -f assets/resources.txt ] && [ "$PWD" != / ]; do cd ..; done; pwd)
BIN=$BUILD/oomori
. "$(dirname "$0")/../tools/xvfb.sh"
require_tools Xvfb xdotool xwd convert compare
[ -x "$BIN" ] || fail "no $BIN"

WORK=$(mktemp -d)
XPID=
GPID=
cleanup() {
  stop_x
  if [ -n "${KEEP_SHOTS:-}" ]; then
    mkdir -p "$KEEP_SHOTS" && cp "$WORK"/*.png "$KEEP_SHOTS"/ 2>/dev/null
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

# The screen is the game's 640 x 480.
start_xvfb 640x480x24

shot() {  # shot NAME: the whole screen as $WORK/NAME.png
  xwd -root -silent | convert xwd:- "$WORK/$1.png" || fail "screenshot $1"
}
# mean NAME GEOMETRY: mean brightness 0..1 of a region (WxH+X+Y)
mean() { convert "$WORK/$1.png" -crop "$2" +repage -colorspace Gray -format '%[fx:mean]' info:; }
# spread NAME: standard deviation of the whole screen (0 for a blank one)
spread() { convert "$WORK/$1.png" -colorspace Gray -format '%[fx:standard_deviation]' info:; }
# rmse A B GEOMETRY: normalised RMS difference of one region of two pictures
rmse() {
  convert "$1" -crop "$3" +repage "$WORK/rmse_a.png" && convert "$2" -crop "$3" +repage "$WORK/rmse_b.png" &&
    compare -metric RMSE "$WORK/rmse_a.png" "$WORK/rmse_b.png" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p'
}
click() { xdotool mousemove 320 240 click "$1"; }

# No display at all: the game must not run unseen but end at once with a one-line reason and a
# failure status. It shares the runtime directory with the run below, which could not start if the
# single-instance lock were still held.
(cd "$WORK" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 10 "$BIN" >/dev/null 2>"$WORK/nodisplay.err")
status=$?
[ "$status" -eq 124 ] && fail "without a display the game kept running"
check "without a display the exit status is a failure" "$status != 0"
check "without a display one line on stderr says why" "$(wc -l <"$WORK/nodisplay.err") == 1"
rm -f "$WORK/rank.dat"

# In the sanitizer build: the desktop bus library that SDL's X11 video starts keeps a buffer to the
# end of the process; that is the system's, not the game's.
printf 'leak:libdbus-1.so\n' >"$WORK/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$WORK/lsan.supp"

cd "$WORK"
"$BIN" >"$WORK/game.log" 2>&1 &
GPID=$!
wait_window

# Title (a slow machine or the sanitizer build may take seconds for the first frame), then the menu
# on the first left click.
for _ in $(seq 60); do
  shot title
  awk "BEGIN { exit !($(spread title) > 0.05) }" && break
  sleep 0.25
done
sleep 0.5
shot title
click 1
sleep 0.5
shot menu
# No message box may have come up (a failed load shows one).
others=$(xdotool search --onlyvisible --name . 2>/dev/null |
  while read -r w; do
    [ "$(xdotool getwindowpid "$w" 2>/dev/null)" = "$GPID" ] || echo "$w $(xdotool getwindowname "$w" 2>/dev/null)"
  done)
[ -n "$others" ] && echo "other windows: $others"

# until_shown COND REGION TRIES: screenshots until the REGION (WxH+X+Y) of the screen compared with
# the same region of $WORK/full.png gives an RMS difference for which COND ("> 0.05") holds.
# The scenes count frames, so waiting on what is shown keeps the test right on a slow machine.
until_shown() {
  local i
  for i in $(seq "$3"); do
    shot now
    awk "BEGIN { exit !($(rmse "$WORK/full.png" "$WORK/now.png" "$2") $1) }" && return 0
    sleep 0.1
  done
  return 1
}
# Start: the ready scene, then the play scene, whose countdown appears at the top left.
click 1
sleep 0.3
shot full
until_shown "> 0.05" 120x40+10+10 200 || fail "the countdown of the play scene never appeared"
# The full bowl on the table: its lowest rice layer.
shot full
rice=100x25+270+295
# Five bowls: eat (left) until the rice is gone, ask for another (right) until it is back.
for _ in 1 2 3 4 5; do
  click 1
  until_shown "> 0.05" $rice 50 || fail "a left click did not eat the bowl"
  click 3
  until_shown "< 0.05" $rice 50 || fail "a right click did not bring a full bowl"
done
shot play
# The rest of the 30 seconds and the time-up scene (about 4 s).
sleep 31
shot result
click 1
sleep 1
shot back_title
xdotool key Escape
for _ in $(seq 50); do kill -0 "$GPID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$GPID" 2>/dev/null && fail "the game did not end on Escape"
wait "$GPID"
status=$?
GPID=
[ "$status" -eq 0 ] || fail "exit status $status: $(cat "$WORK/game.log")"
echo "ok: exit status 0"

# rank.dat: 40 bytes, 5 bowls (50) first, the other places empty, with their check values.
[ -f rank.dat ] || fail "no rank.dat"
size=$(stat -c %s rank.dat)
check "rank.dat is 40 bytes" "$size == 40"
read -r -a v < <(od -An -v -t d4 rank.dat | tr -s ' \n' ' ')
check "first place holds 5 bowls (50)" "${v[0]} == 50"
check "places 2 to 5 are empty" "${v[1]} == -1 && ${v[2]} == -1 && ${v[3]} == -1 && ${v[4]} == -1"
check "check value of the first place" "${v[5]} == $((50 ^ 0x96))"
check "no message box during the run" "${#others} == 0"

# Screens: none blank.
for s in title menu play result; do
  check "$s screen is not blank" "$(spread $s) > 0.05"
done
# The title picture fills the screen: compare it (its left 600 x 480 widened to 640 x 480) with the
# title screen above the notice line.
convert "$BUILD/oomori.jpg" -crop 600x480+0+0 +repage -resize '640x480!' "$WORK/expected_title.png"
check "title picture in place" "$(rmse "$WORK/title.png" "$WORK/expected_title.png" 640x440+0+0) < 0.08"
# The menu panel: its rectangle is lighter than on the bare title, the rest of the picture unchanged.
check "menu panel lightens (110,325)-(530,420)" \
  "$(mean menu 420x95+110+325) > $(mean title 420x95+110+325) + 0.1"
check "title outside the panel unchanged" "$(rmse "$WORK/title.png" "$WORK/menu.png" 640x320+0+0) < 0.02"
# Play: the room picture (BACK widened) at the left edge, where nothing else is drawn.
back=$(awk '$1 == "BITMAP" && $2 == "BACK" { print $3 }' "$SRC/assets/resources.txt")
convert "$SRC/assets/$back" -resize '640x480!' "$WORK/expected_back.png"
check "room background in place" "$(rmse "$WORK/play.png" "$WORK/expected_back.png" 140x260+0+60) < 0.1"
# Result: the white speech box.
check "speech box is white" "$(mean result 270x6+305+301) > 0.97"
echo "PASS"
