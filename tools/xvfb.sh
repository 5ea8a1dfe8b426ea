# Shared by the scripts that run the game in a real X window (tests, the frame-loop bench): sourced,
# not run. Needs WORK (a scratch directory) set before start_xvfb; XPID and GPID (the game) are
# what stop_x ends.

fail() { echo "FAIL: $*" >&2; exit 1; }
check() {  # check "description" awk-condition
  awk "BEGIN { exit !($2) }" || fail "$1 ($2)"
  echo "ok: $1"
}
require_tools() {  # require_tools TOOL...: each must be on PATH
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (deps.txt)"
  done
}

# start_xvfb WxHxD: a private X server on a free display number; sets XPID and exports DISPLAY, the
# SDL drivers (X11, silent audio) and a runtime directory of its own, so the single-instance lock
# never meets another copy of the game.
start_xvfb() {
  exec 3>"$WORK/display"
  # -noreset: by default the server resets when its last client leaves. The game, started right
  # after the readiness check below had left, twice failed with "x11 not available" (once in 25
  # runs or so); a client connecting during that reset is the likely cause, not reproduced since.
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
  XPID=$!
  exec 3>&-
  local _
  for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
  [ -s "$WORK/display" ] || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
  export DISPLAY=:$(head -n1 "$WORK/display")
  # The server names its display when it is ready; wait until it also answers a client (a loaded
  # machine, running sanitizer builds side by side, may take seconds), else say so.
  local up=
  for _ in $(seq 300); do xdotool getdisplaygeometry >/dev/null 2>&1 && { up=1; break; }; sleep 0.1; done
  [ -n "$up" ] || fail "Xvfb on $DISPLAY does not answer: $(cat "$WORK/xvfb.log")"
  export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
  mkdir -p -m 700 "$WORK/xdg"
  export XDG_RUNTIME_DIR=$WORK/xdg
}

# wait_window: waits for the game (GPID, its output in $WORK/game.log) to show a window; sets WID.
wait_window() {
  local _
  WID=
  for _ in $(seq 100); do
    WID=$(xdotool search --onlyvisible --pid "$GPID" 2>/dev/null | head -n1)
    [ -n "$WID" ] && return 0
    kill -0 "$GPID" 2>/dev/null || fail "the game ended at start: $(cat "$WORK/game.log")"
    sleep 0.1
  done
  fail "no game window"
}

# stop_x: ends the game (GPID) and the X server (XPID), if running; for the scripts' exit traps.
stop_x() {
  [ -n "${GPID:-}" ] && kill "$GPID" 2>/dev/null
  [ -n "${XPID:-}" ] && kill "$XPID" 2>/dev/null
  wait 2>/dev/null
}
