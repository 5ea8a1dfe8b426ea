#!/usr/bin/env bash
# The installed game in a real X window: installs the build into a staging directory (DESTDIR),
# validates the menu entry and the AppStream data, and starts the installed launcher under Xvfb
# (1920 x 1080) with a fresh home: without a display; full screen, ended with Escape; then --window,
# where five bowls are eaten with the mouse, ended with SIGHUP. Each run must keep rank.dat in the
# player's data directory, never in the working directory.
# Usage: bash tests/install_test.sh <build dir>
set -u

BUILD=$(cd "${1:?usage: install_test.sh <build dir>}" && pwd)
. "$(dirname "$0")/../tools/xvfb.sh"
require_tools Xvfb xdotool xwd convert compare desktop-file-validate appstreamcli

WORK=$(mktemp -d)
XPID=
GPID=
cleanup() {
  stop_x
  [ -n "${KEEP_WORK:-}" ] && { rm -rf "$KEEP_WORK"; cp -r "$WORK" "$KEEP_WORK"; }
  rm -rf "$WORK"
}
trap cleanup EXIT

# Install.
ROOT=$WORK/root
PREFIX=/usr
DESTDIR=$ROOT cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" 2>&1 ||
  fail "cmake --install: $(cat "$WORK/install.log")"
P=$ROOT$PREFIX
APP=io.github.oomori.Oomori
for f in libexec/oomori/oomori.jpg libexec/oomori/titlebgm.mp3 share/applications/$APP.desktop \
  share/metainfo/$APP.metainfo.xml share/icons/hicolor/64x64/apps/$APP.png share/icons/hicolor/256x256/apps/$APP.png; do
  [ -f "$P/$f" ] || fail "not installed: $PREFIX/$f"
done
[ -x "$P/libexec/oomori/oomori" ] || fail "the game is not installed beside its media files"
[ -x "$P/bin/oomori" ] || fail "no launcher in $PREFIX/bin"
echo "ok: installed tree"
desktop-file-validate "$P/share/applications/$APP.desktop" || fail "desktop-file-validate"
echo "ok: menu entry valid"
appstreamcli validate --no-net "$P/share/metainfo/$APP.metainfo.xml" >"$WORK/as.log" 2>&1 ||
  fail "appstreamcli validate: $(cat "$WORK/as.log")"
echo "ok: AppStream data valid"

# A private X server with a wide screen; a fresh home and runtime directory.
start_xvfb 1920x1080x24
mkdir -m 700 "$WORK/home" "$WORK/cwd"
export HOME=$WORK/home
unset XDG_DATA_HOME
printf 'leak:libdbus-1.so\n' >"$WORK/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$WORK/lsan.supp"
cd "$WORK/cwd"

# No display at all: the game must not run unseen but end at once with a one-line reason and a
# failure status. It shares the runtime directory with the runs below, which could not start if the
# single-instance lock were still held.
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 10 "$P/bin/oomori" >/dev/null 2>"$WORK/nodisplay.err"
status=$?
check "without a display the game ends at once with a failure status" "$status != 0 && $status != 124"
check "without a display one line on stderr says why" "$(wc -l <"$WORK/nodisplay.err") == 1"

start() {  # start ARGS...: the installed launcher in the background; sets GPID and WID
  "$P/bin/oomori" "$@" >"$WORK/game.log" 2>&1 &
  GPID=$!
  wait_window
}
finish() {  # finish HOW: waits for the game to end; it must end with status 0
  for _ in $(seq 50); do kill -0 "$GPID" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$GPID" 2>/dev/null && fail "the game did not end on $1"
  wait "$GPID"
  local status=$?
  GPID=
  [ "$status" -eq 0 ] || fail "exit status $status after $1: $(cat "$WORK/game.log")"
  echo "ok: $1 ends the game with status 0"
}
shot() { xwd -root -silent | convert xwd:- "$WORK/$1.png" || fail "screenshot $1"; }
mean() { convert "$WORK/$1.png" -crop "$2" +repage -colorspace Gray -format '%[fx:mean]' info:; }
# fits NAME GEOMETRY: RMS difference between a region, brought to 640 x 480, and the title picture
fits() {
  convert "$WORK/$1.png" -crop "$2" +repage -resize '640x480!' -crop 640x440+0+0 +repage "$WORK/fit_a.png" &&
    compare -metric RMSE "$WORK/fit_a.png" "$WORK/expected_title.png" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p'
}
convert "$P/libexec/oomori/oomori.jpg" -crop 600x480+0+0 +repage -resize '640x480!' -crop 640x440+0+0 +repage \
  "$WORK/expected_title.png"

# title_up NAME GEOMETRY: takes screenshots until the title picture shows in the region (a loaded
# machine may take seconds for the first frames); the last one is NAME.
title_up() {
  for _ in $(seq 40); do
    shot "$1"
    awk "BEGIN { exit !($(fits "$1" "$2") < 0.08) }" && return 0
    sleep 0.25
  done
  return 1
}

# Full screen on 16:9: the picture 1440 x 1080 in the middle, black bars of 240 at the sides.
start
title_up full 1440x1080+240+0
check "left and right bars are black" "$(mean full 240x1080+0+0) + $(mean full 240x1080+1680+0) == 0"
check "title picture fills 1440 x 1080 between the bars" "$(fits full 1440x1080+240+0) < 0.08"
xdotool key Escape
finish Escape
DATA=$HOME/.local/share/oomori
[ -f "$DATA/rank.dat" ] || fail "no rank.dat in $DATA"
check "rank.dat (40 bytes) in the default data directory" "$(stat -c %s "$DATA/rank.dat") == 40"
[ -e "$WORK/cwd/rank.dat" ] && fail "rank.dat written in the working directory"

# Windowed, data directory from XDG_DATA_HOME: a 1280 x 960 window (the largest whole multiple that
# fits 1080 lines with room for a title bar), the picture filling it; SIGHUP ends it like a close.
export XDG_DATA_HOME=$WORK/data
start --window
# The window's place and size; SDL may make and drop a helper window at start, so the query is retried.
X= Y= W= H=
for _ in $(seq 50); do
  for w in $(xdotool search --onlyvisible --pid "$GPID" 2>/dev/null); do
    read -r X Y W H < <(xdotool getwindowgeometry --shell "$w" 2>/dev/null |
      awk -F= '/^X=/ { x = $2 } /^Y=/ { y = $2 } /^WIDTH=/ { w = $2 } /^HEIGHT=/ { h = $2 } END { print x, y, w, h }')
    [ -n "$H" ] && [ "$W" -ge 640 ] && break 2
  done
  sleep 0.1
done
[ -n "$H" ] || fail "no geometry of the game window"
check "window is 1280 x 960" "$W == 1280 && $H == 960"
title_up window "1280x960+$X+$Y"
check "title picture fills the window" "$(fits window 1280x960+$X+$Y) < 0.08"
# The menu's half-tone panel (a fill of the 16-bit screen) is drawn in a window too.
PANEL="840x190+$((X + 220))+$((Y + 650))"
xdotool mousemove $((X + 640)) $((Y + 480)) click 1
lit=0
for _ in $(seq 20); do
  sleep 0.25
  shot window_menu
  awk "BEGIN { exit !($(mean window_menu "$PANEL") > $(mean window "$PANEL") + 0.1) }" && { lit=1; break; }
done
check "menu panel lightens in the window" "$lit == 1"

# A game of five bowls, the screen at twice the game's scale. click BUTTON X Y: at the game's (x, y).
click() { xdotool mousemove $((X + 2 * $2)) $((Y + 2 * $3)) click "$1"; }
# until_shown COND GEOMETRY TRIES: screenshots until the region (in the game's pixels) compared with
# the same region of $WORK/ref.png gives an RMS difference for which COND ("> 0.05") holds. The
# scenes count frames, so waiting on what is shown keeps the test right on a slow machine.
until_shown() {
  local w h x y g _
  IFS='x+' read -r w h x y <<<"$2"
  g=$((2 * w))x$((2 * h))+$((X + 2 * x))+$((Y + 2 * y))
  convert "$WORK/ref.png" -crop "$g" +repage "$WORK/ref_a.png" || fail "crop of the reference"
  for _ in $(seq "$3"); do
    shot now
    convert "$WORK/now.png" -crop "$g" +repage "$WORK/now_a.png" &&
      awk "BEGIN { exit !($(compare -metric RMSE "$WORK/ref_a.png" "$WORK/now_a.png" null: 2>&1 |
        sed -n 's/.*(\(.*\)).*/\1/p') $1) }" && return 0
    sleep 0.1
  done
  return 1
}
# The ready scene, then the play scene, whose countdown appears at the top left.
click 1 320 240
shot ref
until_shown "> 0.05" 120x40+10+10 200 || fail "the countdown of the play scene never appeared"
shot ref  # the full bowl on the table: its lowest layer of rice
for _ in 1 2 3 4 5; do
  click 1 320 240
  until_shown "> 0.05" 100x25+270+295 50 || fail "a left click did not eat the bowl"
  click 3 320 240
  until_shown "< 0.05" 100x25+270+295 50 || fail "a right click did not bring a full bowl"
done
# The rest of the 30 seconds and the time-up scene (about 4 s): the result's white speech box.
sleep 31
shot result
check "the result's speech box is white" "$(mean result 540x12+$((X + 610))+$((Y + 602))) > 0.97"
click 1 320 240
kill -HUP "$GPID"
finish SIGHUP
# rank.dat: 5 bowls (50) first, the other places empty, with their check values.
read -r -a v < <(od -An -v -t d4 "$WORK/data/oomori/rank.dat" 2>/dev/null | tr -s ' \n' ' ')
check "rank.dat in \$XDG_DATA_HOME/oomori holds the game of five bowls" \
  "${#v[@]} == 10 && ${v[0]} == 50 && ${v[1]} == -1 && ${v[4]} == -1 && ${v[5]} == $((50 ^ 0x96))"
[ -e "$WORK/cwd/rank.dat" ] && fail "rank.dat written in the working directory"
echo "PASS"
