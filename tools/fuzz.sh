#!/usr/bin/env bash
# Coverage-guided fuzzing: builds the targets of fuzz/ with clang's libFuzzer plus ASan and UBSan in
# build-fuzz/ (apart from the normal trees), runs them, and merges the inputs that add coverage into
# fuzz/corpus/<target>/ (minimised with -merge=1). Crashing inputs land in fuzz/findings/.
#
#   tools/fuzz.sh TARGET SECONDS     one target, e.g. tools/fuzz.sh midi_fuzz 600
#   tools/fuzz.sh all SECONDS        every target, one after another
#   tools/fuzz.sh build              build only
#   tools/fuzz.sh run TARGET SECONDS run a target built before, without building (for runs side by side)
#
# Clang cannot compile string literals to CP932 the way GCC does (-fexec-charset), so the build
# compiles a mirror of the sources whose non-ASCII literals spell their CP932 bytes as escapes
# (tools/cp932_literals.py), and checks first that every such literal comes out byte for byte as
# the GCC build has it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
top=$root/build-fuzz
src=$top/src
out=$top/out

usage() { sed -n '6,9s/^# //p' "$0" >&2; exit 2; }
[ $# -ge 1 ] || usage
what=$1
seconds=${2:-}
if [ "$what" = run ]; then
  [ $# -eq 3 ] || usage
  what=$2
  seconds=$3
  [ -x "$out/$what" ] || { echo "fuzz.sh: $what is not built: run tools/fuzz.sh build first" >&2; exit 2; }
fi
if [ "$what" != build ]; then
  [[ "$seconds" =~ ^[0-9]+$ ]] || usage
fi

install_tools() {
  local missing=() pkg
  for pkg in clang libclang-rt-dev; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Every converted literal compiled both ways: GCC with the CP932 execution charset from the original
# text, clang from the converted text. The two programs must print the same bytes.
check_literals() {
  local dir=$top/charset
  mkdir -p "$dir"
  mapfile -t files < <(cd "$root" && find el game platform fuzz tests bench -name '*.cpp' -o -name '*.h' | sort)
  {
    echo '#include <cstdio>'
    echo 'struct Lit { const char* p; unsigned long n; };'
    echo '#define L(s) {s, sizeof s}'
    echo 'static const Lit kLits[] = {'
    (cd "$root" && python3 tools/cp932_literals.py literals "${files[@]}") | sed 's/.*/  L(&),/'
    echo '};'
    echo 'int main() {'
    echo '  for (const Lit& l : kLits) {'
    echo '    for (unsigned long i = 0; i < l.n; ++i) std::printf("%02x", (unsigned char)l.p[i]);'
    echo '    std::printf("\n");'
    echo '  }'
    echo '  std::printf("%zu literals\n", sizeof kLits / sizeof kLits[0]);'
    echo '}'
  } >"$dir/literals.cpp"
  python3 "$root/tools/cp932_literals.py" convert "$dir/literals.cpp" "$dir/literals_escaped.cpp"
  g++ -fexec-charset=CP932 -o "$dir/gcc" "$dir/literals.cpp"
  clang++ -o "$dir/clang" "$dir/literals_escaped.cpp"
  "$dir/gcc" >"$dir/gcc.txt"
  "$dir/clang" >"$dir/clang.txt"
  if ! cmp -s "$dir/gcc.txt" "$dir/clang.txt"; then
    echo "fuzz.sh: CP932 literals differ between the GCC and the clang build:" >&2
    diff "$dir/gcc.txt" "$dir/clang.txt" | head -20 >&2
    exit 1
  fi
  echo "charset check: $(tail -1 "$dir/gcc.txt") identical in both builds"
}

targets() {
  local f
  for f in "$root"/fuzz/*_fuzz.cpp; do basename "$f" .cpp; done
}

build() {
  install_tools
  check_literals
  python3 tools/cp932_literals.py tree "$root" "$src"
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$src" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DOOMORI_LIBFUZZER=ON -DOOMORI_BENCH=OFF "${launcher[@]}" >/dev/null
  cmake --build "$out" -j2 --target "$@"
}

# Runs one target for the given seconds: new inputs go to a scratch directory, then the ones that
# add coverage are merged into the kept corpus.
run() {
  local t=$1 secs=$2
  local corpus=$root/fuzz/corpus/$t fresh=$top/new/$t logs=$top/logs rundir=$top/run/$t
  mkdir -p "$corpus" "$fresh" "$logs" "$rundir" "$root/fuzz/findings"
  rm -f "$fresh"/*
  local rc=0
  (cd "$rundir" && "$out/$t" -max_total_time="$secs" -timeout=20 -print_final_stats=1 \
     -artifact_prefix="$root/fuzz/findings/$t-" "$fresh" "$corpus") >"$logs/$t.log" 2>&1 || rc=$?
  local before after
  before=$(find "$corpus" -type f | wc -l)
  (cd "$rundir" && "$out/$t" -merge=1 "$corpus" "$fresh") >"$logs/$t.merge.log" 2>&1 || true
  after=$(find "$corpus" -type f | wc -l)
  local last execs speed
  last=$(grep -E '^#[0-9]+' "$logs/$t.log" | tail -1 || true)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$t.log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$logs/$t.log")
  printf '%-22s runs %-9s exec/s %-6s corpus +%d  | %s\n' "$t" "${execs:-?}" "${speed:-?}" \
    $((after - before)) "$(echo "$last" | grep -oE 'cov: [0-9]+ ft: [0-9]+' || echo "$last")"
  if [ $rc -ne 0 ]; then
    echo "  $t stopped with status $rc: see $logs/$t.log and fuzz/findings/$t-*" >&2
    grep -m1 -E 'ERROR: (AddressSanitizer|libFuzzer|UndefinedBehaviorSanitizer)|runtime error' "$logs/$t.log" >&2 || true
  fi
  return $rc
}

case $what in
  build) mapfile -t all < <(targets); build "${all[@]}" ;;
  all)
    mapfile -t all < <(targets)
    build "${all[@]}"
    failed=0
    for t in "${all[@]}"; do run "$t" "$seconds" || failed=1; done
    exit $failed
    ;;
  *)
    [ -f "fuzz/$what.cpp" ] || { echo "fuzz.sh: no target fuzz/$what.cpp" >&2; exit 2; }
    [ "$1" = run ] || build "$what"
    run "$what" "$seconds"
    ;;
esac
