#!/usr/bin/env bash
# Checks how the i686 lane keeps its cached guest image (run-lane.sh
# --image-only, through scripts/make-root.sh), with a stand-in for the recipe:
# built when missing, reused when intact, rebuilt when unfinished or changed,
# images of other recipes removed, and a failed build fails the lane, saying
# so.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fails=0
export QZ_CACHE=$tmp/cache QZ_VM_CACHE=$tmp/cache
export QZ_ROOT_BUILDER=$tmp/builder
calls=$tmp/calls

cat >"$QZ_ROOT_BUILDER" <<'B'
#!/bin/sh
set -e
echo "$1" >>"$CALLS"
[ -z "$BUILDER_FAILS" ] || exit 1
for f in disk.qcow2 vmlinuz initrd.img; do echo "$f of $1" >"$1/$f"; done
(cd "$1" && sha256sum disk.qcow2 vmlinuz initrd.img >ready)
B
chmod +x "$QZ_ROOT_BUILDER"
export CALLS=$calls BUILDER_FAILS=

lane() { "$here/run-lane.sh" --image-only >"$tmp/out.txt" 2>&1; status=$?; }
builds() { [ -f "$calls" ] && grep -c . "$calls" || echo 0; }
expect() {
  local what=$1; shift
  if ! "$@"; then echo "FAIL $what"; sed 's/^/    | /' "$tmp/out.txt"; fails=$((fails + 1)); fi
}

mkdir -p "$QZ_CACHE/vm-0123456789ab" "$QZ_CACHE/vm-feedfacecafe.tmp.42" "$QZ_CACHE/boost-1.81.0-i686-r4"
lane
image=$(sed -n 's/^vm: image //p' "$tmp/out.txt")
expect "first run builds" test "$status" = 0 -a "$(builds)" = 1
expect "image named by its recipe stamp" bash -c "[[ '$image' =~ ^$QZ_CACHE/vm-[0-9a-f]{12}\$ ]] && [ -f '$image/ready' ]"
expect "other recipes' images removed" test ! -e "$QZ_CACHE/vm-0123456789ab" -a ! -e "$QZ_CACHE/vm-feedfacecafe.tmp.42"
expect "other cache entries kept" test -d "$QZ_CACHE/boost-1.81.0-i686-r4"

lane
expect "an intact image is reused" test "$status" = 0 -a "$(builds)" = 1

echo corrupted >>"$image/disk.qcow2"
lane
expect "a changed disk is rebuilt" test "$status" = 0 -a "$(builds)" = 2
expect "the rebuild is announced" grep -q "incomplete or changed; rebuilding" "$tmp/out.txt"
expect "the rebuilt image is intact" bash -c "cd '$image' && sha256sum --quiet --check ready"

rm "$image/ready"
lane
expect "an unfinished image is rebuilt" test "$status" = 0 -a "$(builds)" = 3

rm -rf "$image"
BUILDER_FAILS=1 lane
expect "a failed build fails the lane" test "$status" != 0
expect "and says why" grep -q "^vm: no guest image" "$tmp/out.txt"

echo "image cache checks: $fails failed"
[ "$fails" = 0 ]
