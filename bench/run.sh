#!/bin/sh
# Runs every benchmark of a built tree and prints their summary lines: "ratio NAME X" (our time over
# a peer's for the same work, below 1 is ours faster), "limit NAME X" (our throughput as a fraction
# of a plain memory copy's on the same bytes) and "value NAME X". Builds nothing.
# Runs each *_bench binary in the build directory and each bench/*.sh script but this one (given the
# build directory as argument), one after another, from the source tree's root. Each one's full
# output goes to BUILD/bench-logs/NAME.log.
# Usage: bench/run.sh [build-dir]   (default: build)
root=$(cd "$(dirname "$0")/.." && pwd) || exit 1
build=${1:-build}
[ -d "$build" ] || { echo "run.sh: no build directory $build" >&2; exit 1; }
build=$(cd "$build" && pwd) || exit 1
logs="$build/bench-logs"
mkdir -p "$logs" || exit 1
cd "$root" || exit 1
status=0
ran=0

run() {
  name=$1
  shift
  ran=$((ran + 1))
  if "$@" >"$logs/$name.log" 2>&1; then
    grep -E '^(ratio|limit|value) ' "$logs/$name.log"
  else
    echo "run.sh: $name failed (exit $?), see $logs/$name.log" >&2
    grep -E '^(ratio|limit|value) ' "$logs/$name.log"
    status=1
  fi
}

for b in "$build"/*_bench "$build"/bench/*_bench; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  run "$(basename "$b")" "$b"
done
for s in "$root"/bench/*.sh; do
  [ -f "$s" ] || continue
  [ "$(basename "$s")" = run.sh ] && continue
  if [ -x "$s" ]; then
    run "$(basename "$s" .sh)" "$s" "$build"
  else
    run "$(basename "$s" .sh)" sh "$s" "$build"
  fi
done
[ "$ran" -gt 0 ] || { echo "run.sh: no benchmarks found in $build" >&2; exit 1; }
exit $status
