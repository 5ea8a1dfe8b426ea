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
. "$(dirname "$0")/../tools/xvfb.sh"
require_tools Xvfb xdotool awk
[ -x "$BIN" ] || fail "no $BIN"

WORK=$(mktemp -d)
XPID=
GPID=
cleanup() {
  stop_x
  [ -n "${KEEP_LOG:-}" ] && cp "$WORK/frames.log" "$KEEP_LOG" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

start_xvfb 640x480x24

click() { xdotool mousemove 320 240 click "$1"; }

# The play script, for one xdotool process that reads it on its input and waits on its own: title
# for two seconds, the menu, start (the ready scene runs about three seconds), then eat (left) and
# ask for another bowl (right), waiting for it to arrive. A process started for every click and
# every wait between cost about 10 ms of CPU each, and on two cores the game's wake-up now and then
# waited behind one of them; a player's clicks come from the X server alone.
play_script() {
  echo "mousemove 320 240"
  echo "sleep 2"; echo "click 1"; echo "sleep 1"; echo "click 1"; echo "sleep 3.8"
  for _ in $(seq "$ROUNDS"); do
    echo "click 1"; echo "sleep 0.25"
    echo "click 3"; echo "sleep 0.7"
  done
}

cd "$WORK"
LOG=$WORK/frames.log
# The launch time on the wall clock; the log's first line ties its monotonic times to that clock.
T0=$EPOCHREALTIME
OOMORI_FRAME_LOG=$LOG "$BIN" >"$WORK/game.log" 2>&1 &
GPID=$!
wait_window

play_script | xdotool - &
DRIVER=$!
sleep 6.8
# CPU seconds so far of a process (all its threads), or of one thread: /proc/PID[/task/TID]/stat.
ticks() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "$1/stat"; }
P0=$(ticks "/proc/$GPID"); M0=$(ticks "/proc/$GPID/task/$GPID"); X0=$(ticks "/proc/$XPID"); W0=$EPOCHREALTIME
# The rounds, then the rest of the 30 seconds of play.
sleep 27
P1=$(ticks "/proc/$GPID"); M1=$(ticks "/proc/$GPID/task/$GPID"); X1=$(ticks "/proc/$XPID"); W1=$EPOCHREALTIME
wait "$DRIVER" || fail "xdotool could not play the script"
# The time-up scene (about 4 s): then the result is up.
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
# frames, about 2.9 s); play then lasts 30 s. The window measured keeps well inside it. Each play
# frame gives one line: interval ms, main-thread CPU ms without the spin, spin ms, show ms.
awk -v out="$WORK" '
  $1 == "S" { printf "%.0f\n", $3 - $2 > (out "/offset") }
  $1 == "E" && $3 == "m1" { clicks[++nclick] = $2 }
  $1 == "F" { ++frames; t[frames] = $2; cpu[frames] = $3; spin[frames] = $4; show[frames] = $5 }
  END {
    if (nclick < 2) { print "FAIL: the start click is not in the log" > "/dev/stderr"; exit 1 }
    from = clicks[2] + 4.0e6; to = clicks[2] + 31.0e6
    for (i = 2; i <= frames; ++i) {
      if (t[i - 1] < from || t[i] > to) continue
      s = spin[i] - spin[i - 1]
      printf "%.3f %.3f %.3f %.3f\n", (t[i] - t[i - 1]) / 1000, (cpu[i] - cpu[i - 1] - s) / 1000, s / 1000, show[i] / 1000
    }
    # The title, from half a second after the first frame to the first click.
    for (i = 2; i <= frames; ++i) {
      if (t[i - 1] < t[1] + 0.5e6 || t[i] > clicks[1]) continue
      ++tn; twork += cpu[i] - cpu[i - 1] - (spin[i] - spin[i - 1])
    }
    printf "title: %d frames, main-thread CPU %.3f ms a frame without the spin\n", tn, tn ? twork / tn / 1000 : 0 > "/dev/stderr"
    printf "%.0f\n", t[1] > (out "/first")
  }' "$LOG" >"$WORK/play" || exit 1
n=$(wc -l <"$WORK/play")
[ "$n" -ge 100 ] || fail "only $n play frames in the log"
# pct COLUMN P: the P-th fraction of a column of the play frames.
pct() { cut -d' ' -f"$1" "$WORK/play" | sort -g | awk -v p="$2" '{ v[NR] = $1 } END { print v[int(p * (NR - 1) + 0.5) + 1] }'; }
mean() { awk -v c="$1" '{ s += $c } END { printf "%.3f", s / NR }' "$WORK/play"; }
echo "renderer $(awk '$1 == "S" { print $4; exit }' "$LOG"); $n play frames; spin $(mean 3) ms a frame;" \
  "showing a frame (upload to present) p50 $(pct 4 0.5) ms, p99 $(pct 4 0.99) ms" >&2

startup=$(awk -v t0="$T0" -v first="$(cat "$WORK/first")" -v offset="$(cat "$WORK/offset")" \
  'BEGIN { printf "%.1f", (first + offset - t0 * 1e6) / 1000 }')
p50=$(pct 1 0.5)
p99=$(pct 1 0.99)
max=$(pct 1 1)
work=$(mean 2)
mb=$(awk -v kb="$ANON_KB" 'BEGIN { printf "%.1f", kb / 1024 }')
echo "value startup_ms $startup"
echo "value frame_p50_ms $p50"
echo "value frame_p99_ms $p99"
echo "value frame_max_ms $max"
echo "value cpu_per_frame_ms $work"
echo "value anon_mb $mb"
# limit NAME TEXT CONDITION: one goal and whether it is met.
limit() { echo "limit $1 $2 $(awk "BEGIN { print ($3) ? \"met\" : \"MISSED\" }")"; }
limit startup_ms "< 300" "$startup < 300"
limit frame_p99_ms "16+-1" "$p99 >= 15 && $p99 <= 17"
limit cpu_per_frame_ms "< 1" "$work < 1"
limit anon_mb "< 48" "$mb < 48"
