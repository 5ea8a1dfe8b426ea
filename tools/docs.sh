#!/usr/bin/env bash
# Builds the library reference (HTML) from the public headers' comments and fails when any public
# entry has no comment, a comment names a parameter that does not exist, or a public header is left
# out of the reference.
# Usage: tools/docs.sh [output directory]   (default: build/docs; never committed)
set -euo pipefail

SRC=$(cd "$(dirname "$0")/.." && pwd)
OUT=${1:-$SRC/build/docs}
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
DOXYFILE=docs/reference/Doxyfile

command -v doxygen >/dev/null || { echo "docs: doxygen is not installed (deps.txt)" >&2; exit 1; }
cd "$SRC"

# Every public header (el/*.h, one a module, and elSystem's input half) must be an input of the
# reference, and must carry the file comment without which doxygen would skip its free variables.
missing=0
for h in el/*.h el/system/input.h; do
  if ! grep -q "^ *$h\( \\\\\)\?$\|= *$h\( \\\\\)\?$" "$DOXYFILE"; then
    echo "docs: $h is not an input of $DOXYFILE" >&2
    missing=1
  fi
  if ! grep -q '^/// @file' "$h"; then
    echo "docs: $h has no '/// @file' comment" >&2
    missing=1
  fi
done

rm -rf "$OUT/html" "$OUT/warnings.txt"
status=0
OOMORI_DOCS_OUT=$OUT doxygen "$DOXYFILE" || status=$?
# The warnings file is the record: any line in it is a missing or wrong entry.
if [ -s "$OUT/warnings.txt" ]; then
  sort -u "$OUT/warnings.txt" | sed "s|$SRC/||" >&2
  echo "docs: $(sort -u "$OUT/warnings.txt" | wc -l) problem(s) in the reference" >&2
  status=1
fi
[ -f "$OUT/html/index.html" ] || { echo "docs: no HTML was produced" >&2; status=1; }
if [ "$status" -ne 0 ] || [ "$missing" -ne 0 ]; then exit 1; fi
echo "docs: reference built in $OUT/html/index.html"
