#!/usr/bin/env bash
# Screenshots of the four examples in a real window (the SDL host under Xvfb), for README.md.
# Usage: examples/take_screenshots.sh <examples build dir> <output dir>
set -eu
BUILD=$(cd "$1" && pwd)
OUTDIR=$(mkdir -p "$2" && cd "$2" && pwd)
WORK=$(mktemp -d)
XPID=
trap '[ -n "$XPID" ] && kill "$XPID"; rm -rf "$WORK"' EXIT

exec 3>"$WORK/display"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
XPID=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$WORK/display")
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy

# shoot <example> <seconds before the shot> [xdotool commands, one word each, e.g. key:space keydown:Right
# sleep:0.5 ...]
shoot() {
  local name=$1 wait=$2 pid c
  shift 2
  (cd "$BUILD/$name" && exec "./$name" --frames 100000) &
  pid=$!
  sleep 1.5
  for c in "$@"; do
    case $c in
      sleep:*) sleep "${c#sleep:}" ;;
      *) xdotool "${c%%:*}" "${c#*:}" ;;
    esac
  done
  sleep "$wait"
  import -window root "$OUTDIR/$name.png"
  xdotool key Escape
  wait "$pid"
}
shoot sprites 0.2 keydown:Right sleep:0.6 keyup:Right keydown:Up sleep:0.3 keyup:Up key:space
shoot text 2.5
shoot sound 0.1 key:space sleep:0.3 key:space
shoot scenes 0.25 key:space
