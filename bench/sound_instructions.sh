#!/bin/sh
# The mixing comparison of sound_bench in instructions executed (callgrind), which other work on the
# machine does not disturb: prints "ratio sound_mix_instr_NAME X", our instructions over SDL_mixer's
# for the same audio. Argument: the build directory (default build). Skipped without valgrind.
# Read it beside sound_bench's times: fewer instructions is not always less time.
build=${1:-build}
bench="$build/sound_bench"
[ -x "$bench" ] || { echo "sound_instructions: no $bench" >&2; exit 0; }
command -v valgrind >/dev/null && command -v callgrind_annotate >/dev/null ||
  { echo "sound_instructions: valgrind not found, skipped" >&2; exit 0; }
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$tmp/out" "$bench" >"$tmp/lines" 2>"$tmp/log" ||
  { cat "$tmp/log" >&2; exit 1; }
callgrind_annotate --inclusive=yes --threshold=100 "$tmp/out" >"$tmp/annotated" 2>/dev/null || exit 1
# The bench's ratio lines come in the order of its comparison ids 0, 1, ...
grep '^ratio sound_mix_' "$tmp/lines" | awk -v ann="$tmp/annotated" '
  BEGIN {
    while ((getline line < ann) > 0) {
      if (match(line, /Mix(Ours|Theirs)Once<[0-9]+>/)) {
        fn = substr(line, RSTART, RLENGTH)
        split(line, f, " ")
        n = f[1]; gsub(",", "", n)
        count[fn] += n
      }
    }
  }
  {
    name = $2; sub("^sound_mix_", "", name)
    id = NR - 1
    ours = count["MixOursOnce<" id ">"]; theirs = count["MixTheirsOnce<" id ">"]
    if (theirs > 0) printf "ratio sound_mix_instr_%s %.3f\n", name, ours / theirs
  }'
