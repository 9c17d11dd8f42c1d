#!/usr/bin/env bash
# How the VM lane keeps its guest image (run-lane.sh --image-only, through
# make-root.sh, with a stand-in for the recipe).
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../test-lib.sh"
export QZ_CACHE=$tmp/cache QZ_VM_CACHE=$tmp/cache QZ_ROOT_BUILDER=$tmp/builder CALLS=$tmp/calls BUILDER_FAILS=

cat >"$QZ_ROOT_BUILDER" <<'B'
#!/bin/sh
set -e
echo "$1" >>"$CALLS"
[ -z "$BUILDER_FAILS" ] || exit 1
for f in disk.qcow2 vmlinuz initrd.img; do echo "$f of $1" >"$1/$f"; done
(cd "$1" && sha256sum disk.qcow2 vmlinuz initrd.img >ready)
B
chmod +x "$QZ_ROOT_BUILDER"

lane() { "$here/run-lane.sh" --image-only >"$tmp/out.txt" 2>&1; status=$?; }
builds() { [ -f "$CALLS" ] && grep -c . "$CALLS" || echo 0; }
shown=$tmp/out.txt

mkdir -p "$QZ_CACHE/vm-0123456789ab" "$QZ_CACHE/vm-feedfacecafe.tmp.42" "$QZ_CACHE/boost-1.81.0-i686-r4"
lane
image=$(sed -n 's/^vm: image //p' "$tmp/out.txt")
check "first run builds" test "$status" = 0 -a "$(builds)" = 1
check "image named by its recipe stamp" bash -c "[[ '$image' =~ ^$QZ_CACHE/vm-[0-9a-f]{12}\$ ]] && [ -f '$image/ready' ]"
check "other recipes' images removed" test ! -e "$QZ_CACHE/vm-0123456789ab" -a ! -e "$QZ_CACHE/vm-feedfacecafe.tmp.42"
check "other cache entries kept" test -d "$QZ_CACHE/boost-1.81.0-i686-r4"

lane
check "an intact image is reused" test "$status" = 0 -a "$(builds)" = 1

echo corrupted >>"$image/disk.qcow2"
lane
check "a changed disk is rebuilt" test "$status" = 0 -a "$(builds)" = 2
check "the rebuild is announced" grep -q "incomplete or changed; rebuilding" "$tmp/out.txt"
check "the rebuilt image is intact" bash -c "cd '$image' && sha256sum --quiet --check ready"

rm "$image/ready"
lane
check "an unfinished image is rebuilt" test "$status" = 0 -a "$(builds)" = 3

rm -rf "$image"
BUILDER_FAILS=1 lane
check "a failed build fails the lane" test "$status" != 0
check "and says why" grep -q "^vm: no guest image" "$tmp/out.txt"

qz_done "image cache checks"
