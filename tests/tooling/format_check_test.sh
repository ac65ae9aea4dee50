#!/usr/bin/env bash
# scripts/check-format.sh on a small tree: it fails naming each unformatted source (and only those),
# passes over build trees and hidden folders, and --fix leaves a tree that then passes.
set -euo pipefail
repo=$1
check=$repo/scripts/check-format.sh
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

cp "$repo/.clang-format" "$tree/"
mkdir -p "$tree/engine" "$tree/tests/ui" "$tree/build/test/gen" "$tree/elsewhere" "$tree/.cache"
unformatted='int  Twice( int n ){return 2*n;}'
printf '%s\n' "$unformatted" >"$tree/engine/Loose.cpp"
printf '%s\n' "$unformatted" >"$tree/tests/ui/Loose.h"
printf 'int Twice(int n) {\n    return 2 * n;\n}\n' >"$tree/engine/Tidy.cpp"
# Generated and cached code is not ours to format: a build tree anywhere, marked by its cache.
for file in build/test/gen/moc.cpp elsewhere/generated.cpp .cache/cached.cpp; do
  printf '%s\n' "$unformatted" >"$tree/$file"
done
touch "$tree/elsewhere/CMakeCache.txt"

fail() { echo "FAIL: $*" >&2; exit 1; }

status=0
output=$("$check" "$tree" 2>&1) || status=$?
echo "$output"
[ "$status" -eq 1 ] || fail "expected exit status 1 for unformatted sources, got $status"
grep -qx '  engine/Loose.cpp' <<<"$output" || fail "engine/Loose.cpp not named"
grep -qx '  tests/ui/Loose.h' <<<"$output" || fail "tests/ui/Loose.h not named"
! grep -q 'Tidy.cpp\|moc.cpp\|generated.cpp\|cached.cpp' <<<"$output" || fail "named a file it must not"
grep -q 'target format' <<<"$output" || fail "no hint how to fix"

"$check" --fix "$tree" >/dev/null
"$check" "$tree" || fail "still failing after --fix"
grep -qxF "$unformatted" "$tree/elsewhere/generated.cpp" || fail "--fix rewrote a build tree"
echo "PASS"
