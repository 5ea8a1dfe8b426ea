#!/usr/bin/env bash
# The installed game: installs the build into a staging directory (DESTDIR), validates the menu entry
# and the AppStream data, and starts the installed launcher under Xvfb (1920 x 1080) with a fresh home:
# full screen, ended with Escape; then --window, ended with SIGHUP. Each run must keep rank.dat in the
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
kill -HUP "$GPID"
finish SIGHUP
check "rank.dat (40 bytes) written at exit in \$XDG_DATA_HOME/oomori" "$(stat -c %s "$WORK/data/oomori/rank.dat" 2>/dev/null || echo 0) == 40"
[ -e "$WORK/cwd/rank.dat" ] && fail "rank.dat written in the working directory"
echo "PASS"
