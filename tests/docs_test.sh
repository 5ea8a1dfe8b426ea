#!/usr/bin/env bash
# The library reference: builds it with tools/docs.sh (which fails on any public entry without its
# comment), then checks that the check bites: a copy of the tree with one entry's comment removed
# must fail and name that entry.
# Usage: bash tests/docs_test.sh <build dir>
set -u

BUILD=$(cd "${1:?usage: docs_test.sh <build dir>}" && pwd)
SRC=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

bash "$SRC/tools/docs.sh" "$BUILD/docs" || fail "the reference has missing or wrong entries (above)"
grep -q 'WAVEリソースが見つかりません' "$BUILD/docs/html/namespaceelSound.html" ||
  fail "the elSound page does not give its loaders' reports"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/tools" "$WORK/docs/reference"
cp -r "$SRC/el" "$WORK/el"
cp "$SRC/tools/docs.sh" "$WORK/tools/"
cp "$SRC/docs/reference/Doxyfile" "$SRC/docs/reference/mainpage.md" "$WORK/docs/reference/"
# Drop the comment block directly above elSystem::Beep's declaration.
awk '/^\/\/\// { held = held $0 "\n"; next }
     $0 == "void Beep();" { if (held == "") exit 3; held = ""; print; next }
     { printf "%s", held; held = ""; print }' "$SRC/el/elSystem.h" >"$WORK/el/elSystem.h" ||
  fail "elSystem::Beep has no comment to remove"
cmp -s "$SRC/el/elSystem.h" "$WORK/el/elSystem.h" && fail "the comment was not removed"
if bash "$WORK/tools/docs.sh" "$WORK/out" 2>"$WORK/err" >/dev/null; then
  fail "a public operation without its comment went unnoticed"
fi
grep -q 'Beep' "$WORK/err" || fail "the failure does not name the entry: $(cat "$WORK/err")"
echo "docs: reference complete; a missing entry is caught"
