#!/usr/bin/env bash
# The library as another program sees it: installs the built library into a fresh prefix, builds the
# four examples and the example game test out of tree against it (all with the CMake package; the text
# example once more with pkg-config), runs each example on the headless host for a fixed number of
# frames with scripted input, and checks the captured frames and the recorded mix.
# Usage: bash tests/examples_test.sh <build dir>
set -u

BUILD=$(cd "${1:?usage: examples_test.sh <build dir>}" && pwd)
SRC=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

# Fresh outputs each run; the prefix is installed afresh at a fixed place in the build tree, and the
# examples' build trees stay there too, so that reruns compile from the cache and only relink.
WORK=$BUILD/examples_test
PREFIX=$WORK/prefix
OUT=$(mktemp -d)
# EXAMPLES_KEEP=<dir> keeps the captured frames and recordings there.
trap '[ -n "${EXAMPLES_KEEP:-}" ] && mkdir -p "$EXAMPLES_KEEP" && cp "$OUT"/* "$EXAMPLES_KEEP"/; rm -rf "$OUT"' EXIT
rm -rf "$PREFIX" "$WORK/pc"
mkdir -p "$WORK"

# --- install, and the installed headers compile on their own
cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null || fail "cmake --install"
INC=$PREFIX/include/el
[ -f "$INC/el/elDraw.h" ] || fail "headers not installed under include/el"
(cd "$INC" && find . -name '*.h' | sed 's|^\./||' | sort) | xargs -P2 -I{} sh -c \
  'echo "#include \"{}\"" | g++ -std=c++20 -fexec-charset=CP932 -Wall -Wextra -Werror -I"$0" -fsyntax-only -x c++ - ||
   { echo "installed header {} does not compile alone" >&2; exit 255; }' "$INC" || fail "installed headers"

# --- build against the installed prefix: CMake package (everything), pkg-config (one example)
# Release: no debug paths in the objects, so the compiler cache serves other build trees too.
# A sanitizer tree installs instrumented archives: the examples are then built the same way.
opts=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$PREFIX")
command -v ccache >/dev/null && opts+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
SANITIZE=
grep -q '^OOMORI_SANITIZE:BOOL=ON' "$BUILD/CMakeCache.txt" && SANITIZE="-fsanitize=address,undefined -fno-sanitize-recover=all"
[ -n "$SANITIZE" ] && opts+=(-DCMAKE_CXX_FLAGS="$SANITIZE" -DCMAKE_EXE_LINKER_FLAGS="$SANITIZE")
cmake -S "$SRC/examples" -B "$WORK/cmake" "${opts[@]}" >"$WORK/configure.log" 2>&1 ||
  { cat "$WORK/configure.log"; fail "configure examples"; }
cmake --build "$WORK/cmake" -j2 >"$WORK/build.log" 2>&1 || { tail -30 "$WORK/build.log"; fail "build examples"; }
export PKG_CONFIG_PATH=$PREFIX/lib/pkgconfig
cxx=g++
command -v ccache >/dev/null && cxx="ccache g++"
make -s -C "$SRC/examples" EXAMPLE=text HOST=headless OUT="$WORK/pc" CXX="$cxx" CXXFLAGS="-O2 -Wall -Wextra $SANITIZE" \
  >"$WORK/make.log" 2>&1 ||
  { cat "$WORK/make.log"; fail "pkg-config build of text"; }
unset PKG_CONFIG_PATH

# --- the example game test
(cd "$WORK/cmake/testing" && ./game_test --gtest_brief=1) || fail "examples/testing game_test"

# --- runs: run <name> <program> <frames> <script> <shot frames...>; leaves $OUT/<name>_<frame>.png and
# $OUT/<name>.wav. The program runs in its own directory, as a user would start it.
run() {
  local name=$1 prog=$2 frames=$3 script=$4 shots="" f
  shift 4
  for f in "$@"; do shots+="$f:$OUT/${name}_$f.png "; done
  (cd "$(dirname "$prog")" && EL_SCRIPT="$script" EL_SHOTS="$shots" EL_AUDIO="$OUT/$name.wav" \
    timeout 120 "./$(basename "$prog")" --frames "$frames") || fail "$name exited with $?"
}
# Scan codes: arrows right 0xCD, space 0x39, return 0x1C, digits 1-3 are 0x02-0x04.
run sprites "$WORK/cmake/sprites/sprites_headless" 100 \
  "10:key:0xCD:1 40:key:0xCD:0 50:joy:1:-32767 70:joy:1:0" 9 31 45 75 94
run text "$WORK/cmake/text/text_headless" 130 "110:key:0x39:1 111:key:0x39:0" 20 60 100 112
run text_pc "$WORK/pc/text_headless" 130 "110:key:0x39:1 111:key:0x39:0" 112
run sound "$WORK/cmake/sound/sound_headless" 360 \
  "120:key:0x04:1 121:key:0x04:0 160:key:0x03:1 161:key:0x03:0 200:key:0x03:1 201:key:0x03:0 200:key:0x02:1
   201:key:0x02:0 240:key:0x03:1 241:key:0x03:0 280:key:0x39:1 281:key:0x39:0 320:key:0x39:1 321:key:0x39:0"
run scenes "$WORK/cmake/scenes/scenes_headless" 200 "70:key:0x39:1 71:key:0x39:0 160:key:0x39:1 161:key:0x39:0" \
  2 6 60 80 110 150 163 168

# The pkg-config build is the same program: the same frame, byte for byte.
cmp -s "$OUT/text_112.png" "$OUT/text_pc_112.png" || fail "the pkg-config build shows a different frame"

python3 - "$OUT" <<'PY' || fail "frame or sound checks"
import math, struct, sys, wave, zlib
out = sys.argv[1]
failures = []

def check(ok, what):
    if not ok:
        failures.append(what)

def png(name):
    """The headless host's PNGs: 8-bit RGB, filter 0 on every row."""
    data = open(f"{out}/{name}.png", "rb").read()
    pos, idat, w, h = 8, b"", 0, 0
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            w, h = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    raw = zlib.decompress(idat)
    rows = [raw[y * (3 * w + 1) + 1:(y + 1) * (3 * w + 1)] for y in range(h)]
    return lambda x, y: tuple(rows[y][3 * x:3 * x + 3])

def pixels(img, x0, y0, x1, y1):
    return ((x, y, img(x, y)) for y in range(y0, y1) for x in range(x0, x1))

# Sprites: the creature's eyes are its only pure white pixels below the captions.
def eyes(frame):
    img = png(f"sprites_{frame}")
    pts = [(x, y) for x, y, p in pixels(img, 0, 180, 640, 440) if p == (255, 255, 255)]
    check(pts, f"sprites frame {frame}: creature not found")
    return (sum(x for x, _ in pts) / max(1, len(pts)), sum(y for _, y in pts) / max(1, len(pts)))

x9, y9 = eyes(9)
x45, y45 = eyes(45)
x75, y75 = eyes(75)
check(abs((x45 - x9) - 120) <= 8 and abs(y45 - y9) < 1, f"right arrow for 30 frames: moved {x45 - x9:.0f}, want 120")
check(abs((y75 - y45) + 80) <= 8 and abs(x75 - x45) < 1, f"joystick up for 20 frames: moved {y75 - y45:.0f}, want -80")
for f in (9, 45):
    img = png(f"sprites_{f}")
    check(not any(p == (255, 0, 255) for _, _, p in pixels(img, 0, 0, 640, 480)), f"sprites {f}: colour key shows")
# The blended star at (320, 92): nearly solid at frame 31, nearly gone at frame 94 (sky shows through).
solid, clear = png("sprites_31")(320, 92), png("sprites_94")(320, 92)
check(solid[0] > 200 and solid[1] > 180 and solid[2] < 200, f"blend at its strongest: {solid}")
check(clear[2] > clear[1] > 0 and clear[0] < 200, f"blend at its weakest: {clear}")

# Text: the typewriter reveals more over time; the whole page once Space is pressed; the full stop at
# the end of the first line hangs past the box's right edge (580) instead of opening line two.
def lit(name, box=(60, 116, 600, 320)):
    img = png(name)
    return sum(1 for _, _, p in pixels(img, *box) if min(p) > 235)

counts = [lit(f"text_{f}") for f in (20, 60, 100, 112)]
check(0 < counts[0] < counts[1] < counts[2] < counts[3], f"typewriter reveal: {counts}")
check(lit("text_112", (560, 116, 592, 146)) > 0, "hanging full stop missing at the first line's end")

# Sound: levels per window of frames [a, b) of the recording (800 stereo frames a video frame).
w = wave.open(f"{out}/sound.wav")
mix = struct.unpack(f"<{2 * w.getnframes()}h", w.readframes(w.getnframes()))
def rms(a, b, ch):
    s = mix[2 * 800 * a + ch:2 * 800 * b:2]
    return math.sqrt(sum(v * v for v in s) / len(s))
def crossings(a, b, ch):
    s = mix[2 * 800 * a + ch:2 * 800 * b:2]
    return sum(1 for i in range(1, len(s)) if (s[i - 1] < 0) != (s[i] < 0))
for name, a, b in (("drone and both pieces", 20, 110), ("both pieces", 130, 158),
                   ("melody alone", 170, 198), ("bass alone", 210, 238)):
    check(rms(a, b, 0) > 300 and rms(a, b, 1) > 300, f"sound: {name} silent ({rms(a, b, 0):.0f})")
check(rms(250, 278, 0) < 20 and rms(250, 278, 1) < 20, f"sound: not silent with everything off ({rms(250, 278, 0):.0f})")
check(rms(281, 290, 0) > 1000 and rms(281, 290, 1) < 20, "sound: voice 0 is not panned hard left")
check(rms(321, 330, 1) > 1000 and rms(321, 330, 0) < 20, "sound: voice 1 is not panned hard right")
ratio = crossings(321, 327, 1) / max(1, crossings(281, 287, 0))
check(1.4 < ratio < 1.6, f"sound: voice 1 is not 11000 Hz above voice 0 (pitch ratio {ratio:.2f})")

# Scenes: fade tiles withdraw; the picture; a closing wipe from the top; the night opening from the
# bottom; the fade-out covering more each frame.
def count(name, colour):
    return sum(1 for _, _, p in pixels(png(name), 0, 0, 640, 480) if p == colour)
tiles = [count(f"scenes_{f}", (8, 8, 41)) for f in (2, 6, 60)]
check(tiles[0] > tiles[1] > tiles[2] == 0, f"fade-in tile pixels: {tiles}")
sun = png("scenes_60")(320, 215)
check(sun[0] > 230 and sun[1] > 200, f"the still picture's sun: {sun}")
def row_black(name, y):
    img = png(name)
    return all(img(x, y) == (0, 0, 0) for x in range(0, 640, 4))
check(row_black("scenes_80", 40) and not row_black("scenes_80", 300), "closing wipe at frame 80")
check(row_black("scenes_110", 20) and not row_black("scenes_110", 400), "opening wipe at frame 110")
check(not row_black("scenes_150", 20), "night scene fully open at frame 150")
fade = [count(f"scenes_{f}", (8, 8, 41)) for f in (163, 168)]
check(0 < fade[0] < fade[1], f"fade-out tile pixels: {fade}")

for f in failures:
    print("  " + f, file=sys.stderr)
sys.exit(1 if failures else 0)
PY
echo "examples: installed, built (CMake package and pkg-config), run and checked"
