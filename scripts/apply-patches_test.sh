#!/usr/bin/env bash
# Checks scripts/apply-patches.sh on a small tree: the patches apply, and
# a second run skips them; a patch made for other lines (one that only fuzz
# would place) stops the run, naming it, with the tree as it found it.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fails=0
apply() { "$here/apply-patches.sh" "$tmp/p" "$tmp/tree" >"$tmp/out.txt" 2>&1; status=$?; }
expect() {
  local what=$1; shift
  if ! "$@"; then echo "FAIL $what"; sed 's/^/    | /' "$tmp/out.txt"; fails=$((fails + 1)); fi
}
lines() { printf '%s\n' "$@"; }
mkpatch() {  # mkpatch NAME OLD NEW: a patch of f.txt from OLD to NEW (one line of context)
  # shellcheck disable=SC2086 # the lines, a word each
  diff -U1 --label a/f.txt --label b/f.txt <(lines $2) <(lines $3) >"$tmp/p/$1"
}
mkdir -p "$tmp/tree" "$tmp/p"
lines 1 2 3 4 5 6 >"$tmp/tree/f.txt"
mkpatch 01-a.patch "1 2 3 4 5 6" "1 two 3 4 5 6"
mkpatch 02-b.patch "1 two 3 4 5 6" "1 two 3 4 five 6"

apply
expect "the patches apply" test "$status" = 0 -a "$(cat "$tmp/tree/f.txt")" = "$(lines 1 two 3 4 five 6)"
apply
expect "a second run skips them" test "$status" = 0 -a "$(grep -c 'already in the tree' "$tmp/out.txt")" = 2
expect "the tree is left as it was" test "$(cat "$tmp/tree/f.txt")" = "$(lines 1 two 3 4 five 6)"

mkpatch 03-c.patch "1 2 3 4 five 6" "1 2 2.5 3 4 five 6"
apply
expect "a stale patch stops the run" test "$status" != 0
expect "the stale patch is named" grep -q "03-c.patch neither applies" "$tmp/out.txt"
expect "the tree is untouched" test "$(cat "$tmp/tree/f.txt")" = "$(lines 1 two 3 4 five 6)" -a \
  "$(ls "$tmp/tree")" = f.txt

echo "apply-patches checks: $fails failed"
[ "$fails" = 0 ]
