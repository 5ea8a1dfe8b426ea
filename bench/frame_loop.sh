#!/usr/bin/env bash
# The real game's frame loop: the built binary in a private Xvfb, driven with xdotool through the
# title, one scripted game and the result, with its frame log (OOMORI_FRAME_LOG) on. Prints
#   value startup_ms X       process start to the first presented frame
#   value frame_p50_ms X     frame intervals of the play scene: median, 99th percentile and longest
#   value frame_p99_ms X
#   value frame_max_ms X
#   value cpu_per_frame_ms X main thread's CPU per play-scene frame, the frame pacing's spin left out
#   value anon_mb X          anonymous resident memory (RssAnon) after the first game
# and one `limit NAME OP LIMIT met|MISSED` line per goal. Diagnostics go to stderr.
# Usage: bash bench/frame_loop.sh <build dir> [eat/refill rounds, default 12]
# Run it alone on the machine (it measures time): under flock /tmp/bench.lock where others measure too.
set -u

BUILD=$(cd "${1:?usage: frame_loop.sh <build dir> [rounds]}" && pwd)
ROUNDS=${2:-12}
BIN=$BUILD/oomori
fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in Xvfb xdotool awk; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (deps.txt)"
done
[ -x "$BIN" ] || fail "no $BIN"

WORK=$(mktemp -d)
XPID=
GPID=
cleanup() {
  [ -n "$GPID" ] && kill "$GPID" 2>/dev/null
  [ -n "$XPID" ] && kill "$XPID" 2>/dev/null
  wait 2>/dev/null
  [ -n "${KEEP_LOG:-}" ] && cp "$WORK/frames.log" "$KEEP_LOG" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

exec 3>"$WORK/display"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XPID=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
export DISPLAY=:$(head -n1 "$WORK/display")
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
mkdir -m 700 "$WORK/xdg"
export XDG_RUNTIME_DIR=$WORK/xdg

click() { xdotool mousemove 320 240 click "$1"; }

cd "$WORK"
LOG=$WORK/frames.log
# The launch time on the wall clock; the log's first line ties its monotonic times to that clock.
T0=$EPOCHREALTIME
OOMORI_FRAME_LOG=$LOG "$BIN" >"$WORK/game.log" 2>&1 &
GPID=$!
for _ in $(seq 100); do
  WID=$(xdotool search --onlyvisible --pid "$GPID" 2>/dev/null | head -n1)
  [ -n "$WID" ] && break
  kill -0 "$GPID" 2>/dev/null || fail "the game ended at start: $(cat "$WORK/game.log")"
  sleep 0.1
done
[ -n "${WID:-}" ] || fail "no game window"

# Title for two seconds, the menu, then start: the ready scene runs about three seconds.
sleep 2
click 1
sleep 1
click 1
sleep 3.8
# CPU seconds so far of a process (all its threads), or of one thread: /proc/PID[/task/TID]/stat.
ticks() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "$1/stat"; }
P0=$(ticks "/proc/$GPID"); M0=$(ticks "/proc/$GPID/task/$GPID"); X0=$(ticks "/proc/$XPID"); W0=$EPOCHREALTIME
# Eat (left) and ask for another bowl (right), then wait for it to arrive.
for _ in $(seq "$ROUNDS"); do
  click 1; sleep 0.25
  click 3; sleep 0.7
done
# The rest of the 30 seconds of play, then the time-up scene (about 4 s): the result is up.
sleep $(awk -v r="$ROUNDS" 'BEGIN { s = 27 - 0.95 * r; print (s > 0 ? s : 0) }')
P1=$(ticks "/proc/$GPID"); M1=$(ticks "/proc/$GPID/task/$GPID"); X1=$(ticks "/proc/$XPID"); W1=$EPOCHREALTIME
sleep 8
ANON_KB=$(awk '$1 == "RssAnon:" { print $2 }' "/proc/$GPID/status")
RSS_KB=$(awk '$1 == "VmRSS:" { print $2 }' "/proc/$GPID/status")
THREADS=$(awk '$1 == "Threads:" { print $2 }' "/proc/$GPID/status")
click 1
sleep 1
xdotool key Escape
for _ in $(seq 50); do kill -0 "$GPID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$GPID" 2>/dev/null && fail "the game did not end on Escape"
wait "$GPID"
status=$?
GPID=
[ "$status" -eq 0 ] || fail "exit status $status: $(cat "$WORK/game.log")"
[ -s "$LOG" ] || fail "no frame log"
echo "resident ${RSS_KB} kB, threads $THREADS at the result" >&2
# Where the CPU goes while playing: the game (all threads), its main thread, and the X server.
awk -v p="$P1-$P0" -v m="$M1-$M0" -v x="$X1-$X0" -v w="$W1-$W0" 'BEGIN {
  split(p, a, "-"); split(m, b, "-"); split(x, c, "-"); split(w, d, "-"); s = d[1] - d[2]
  printf "play scene, share of one core: game %.0f%% (main thread %.0f%%), Xvfb %.0f%%\n",
    100 * (a[1] - a[2]) / s, 100 * (b[1] - b[2]) / s, 100 * (c[1] - c[2]) / s }' >&2

# The play scene, from the script's timeline: the second left click starts the ready scene (181
# frames, about 2.9 s); play then lasts 30 s. The window measured keeps well inside it.
awk -v t0="$T0" -v anon="$ANON_KB" '
  function pct(p,   i) { i = int(p * (n - 1) + 0.5); return iv[i + 1] }
  $1 == "S" { offset = $3 - $2; renderer = $4 }
  $1 == "E" && $3 == "m1" { clicks[++nclick] = $2 }
  $1 == "F" { ++frames; t[frames] = $2; cpu[frames] = $3; spin[frames] = $4 }
  END {
    if (nclick < 2) { print "FAIL: the start click is not in the log" > "/dev/stderr"; exit 1 }
    from = clicks[2] + 4.0e6; to = clicks[2] + 31.0e6
    n = 0; cpusum = 0; spinsum = 0
    for (i = 2; i <= frames; ++i) {
      if (t[i - 1] < from || t[i] > to) continue
      iv[++n] = (t[i] - t[i - 1]) / 1000
      cpusum += cpu[i] - cpu[i - 1]; spinsum += spin[i] - spin[i - 1]
    }
    if (n < 100) { print "FAIL: only " n " play frames in the log" > "/dev/stderr"; exit 1 }
    # The title: from half a second after the first frame to the first click.
    tn = 0; tcpu = 0; tspin = 0
    for (i = 2; i <= frames; ++i) {
      if (t[i - 1] < t[1] + 0.5e6 || t[i] > clicks[1]) continue
      ++tn; tcpu += cpu[i] - cpu[i - 1]; tspin += spin[i] - spin[i - 1]
    }
    # Insertion sort is too slow for thousands; sort by counting in 10 us steps instead.
    for (i = 1; i <= n; ++i) { b = int(iv[i] * 100 + 0.5); cnt[b]++; if (b > top) top = b }
    k = 0
    for (b = 0; b <= top; ++b) for (j = 0; j < cnt[b]; ++j) iv[++k] = b / 100
    printf "renderer %s; %d play frames, spin %.3f ms a frame; title: %d frames, CPU %.3f ms a frame with the spin, %.3f without\n",
      renderer, n, spinsum / n / 1000, tn, tn ? tcpu / tn / 1000 : 0, tn ? (tcpu - tspin) / tn / 1000 : 0 > "/dev/stderr"
    startup = (t[1] + offset - t0 * 1e6) / 1000
    p50 = pct(0.50); p99 = pct(0.99); mx = iv[n]
    perframe = (cpusum - spinsum) / n / 1000
    mb = anon / 1024
    printf "value startup_ms %.1f\n", startup
    printf "value frame_p50_ms %.2f\n", p50
    printf "value frame_p99_ms %.2f\n", p99
    printf "value frame_max_ms %.2f\n", mx
    printf "value cpu_per_frame_ms %.3f\n", perframe
    printf "value anon_mb %.1f\n", mb
    printf "limit startup_ms < 300 %s\n", startup < 300 ? "met" : "MISSED"
    d = p99 - 16; if (d < 0) d = -d
    printf "limit frame_p99_ms 16+-1 %s\n", d <= 1 ? "met" : "MISSED"
    printf "limit cpu_per_frame_ms < 1 %s\n", perframe < 1 ? "met" : "MISSED"
    printf "limit anon_mb < 48 %s\n", mb < 48 ? "met" : "MISSED"
  }' "$LOG"
