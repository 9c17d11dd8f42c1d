#!/usr/bin/env bash
# The i686 lane: runs the shipped 32-bit build's tests for real, under 32-bit
# Wine in a VM (this machine's kernel cannot run 32-bit code).
#
# Needs a built build/i686 tree. Builds or reuses the guest image cached in
# $QZ_CACHE/vm-<stamp>/, copies build/i686/bin (the DLL, every test and helper
# executable, the demo host) and the list of tests that need no display
# (build/i686/vm-tests.txt) into the guest, boots it, runs each test and then
# the demo host's tour, and reports each like CTest, ending with
# "N tests failed out of M". Fails when any test fails or the guest does not
# finish within QZ_VM_TIMEOUT seconds (each test: QZ_VM_TEST_TIMEOUT), in
# which case the guest's console log is shown.
#   run-lane.sh --image-only   only builds (or checks) the image
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$here/vm-lib.sh"

build=${QZ_VM_BUILD:-$root/build/i686}
out=${QZ_VM_OUT:-$root/build/vm}
limit=${QZ_VM_TIMEOUT:-1200}
test_limit=${QZ_VM_TEST_TIMEOUT:-300}
t_start=$(date +%s)
elapsed() { echo $(( $(date +%s) - t_start )); }

die() { echo "vm: $*" >&2; echo "0 tests passed, 1 tests failed out of 1"; exit 1; }

builder=${QZ_VM_IMAGE_BUILDER:-$here/build-image.sh}
image_only=0; [ "${1:-}" = --image-only ] && image_only=1

if [ "$image_only" = 0 ]; then
  [ -f "$build/vm-tests.txt" ] || die "no $build/vm-tests.txt: configure and build the i686 preset first"
  [ -f "$build/bin/qzutilities.dll" ] && [ -f "$build/bin/qzhost.exe" ] || die "no i686 build in $build/bin"
fi
command -v qemu-system-x86_64 >/dev/null || die "qemu-system-x86_64 missing (scripts/setup.sh)"

# --- the image: reuse it only when it is complete and unchanged.
stamp=$(qz_vm_stamp) || die "cannot stamp the image recipe"
image=$QZ_CACHE/vm-$stamp

image_ok() {
  [ -f "$image/ready" ] && (cd "$image" && sha256sum --quiet --check ready >/dev/null 2>&1)
}

ensure_image() {
  mkdir -p "$QZ_CACHE"
  exec 9>"$QZ_CACHE/vm.lock"
  flock 9
  if [ -d "$image" ] && ! image_ok; then
    echo "vm: cached image $image is incomplete or changed; rebuilding"
    rm -rf --one-file-system "$image"
  fi
  if [ ! -d "$image" ]; then
    # Images of other recipes, and builds that never finished, are stale.
    local d
    for d in "$QZ_CACHE"/vm-*; do
      [ -e "$d" ] || continue
      [ "$d" = "$image" ] || { echo "vm: removing stale $d"; rm -rf --one-file-system "$d"; }
    done
    echo "vm: building the guest image $image"
    "$builder" "$image" || { exec 9>&-; return 1; }
  fi
  exec 9>&-
}

# --- the payload and the results disk.
prepare() {
  rm -rf "$out"; mkdir -p "$out/stage" "$out/results"
  cp -a "$build/bin" "$out/stage/bin"
  cp "$build/vm-tests.txt" "$out/stage/tests.txt"
  cp "$here/guest-run.sh" "$out/stage/guest-run.sh"
  echo "$test_limit" >"$out/stage/test-timeout"
  tar cf "$out/payload.tar" -C "$out/stage" . || return 1
  # Whole MiBs: the guest reads it as a disk.
  local size
  size=$(stat -c %s "$out/payload.tar")
  truncate -s $(( (size / 1048576 + 1) * 1048576 )) "$out/payload.tar"
  truncate -s 256M "$out/results.img"
}

# --- one boot; live progress from the console's "qz-guest:" lines.
boot() {
  : >"$out/console.log"
  qz_vm_boot "$image" run "$out/console.log" "$limit" \
    -drive "file=$image/disk.qcow2,if=virtio,format=qcow2,snapshot=on" \
    -drive "file=$out/payload.tar,if=virtio,format=raw,readonly=on" \
    -drive "file=$out/results.img,if=virtio,format=raw" &
  local pid=$! shown=0 lines
  while kill -0 "$pid" 2>/dev/null; do
    sleep 1
    lines=$(grep -a '^qz-guest: ' "$out/console.log" | tr -d '\r')
    local n
    n=$(printf '%s' "$lines" | grep -c '^' || true)
    if [ "$n" -gt "$shown" ]; then
      printf '%s\n' "$lines" | tail -n $(( n - shown )) | sed "s/^/  [$(elapsed)s] /"
      shown=$n
    fi
  done
  wait "$pid"
}

ensure_image || die "no guest image"
[ "$image_only" = 0 ] || { echo "vm: image $image"; exit 0; }
prepare || die "cannot stage the payload in $out"
echo "vm: sha256 $(sha256sum "$out/stage/bin/qzutilities.dll" | cut -d' ' -f1) of the DLL under test ($build/bin/qzutilities.dll)"
echo "vm: image $image; $(grep -c . "$build/vm-tests.txt") tests and the demo tour; limit ${limit}s"
left_out=$(grep . "$build/vm-tests-display.txt" 2>/dev/null | tr '\n' ' ')
[ -z "$left_out" ] || echo "vm: left out (they need a display): $left_out"
rc=0; boot || rc=$?
if ! grep -aq '^qz-guest: up' "$out/console.log" || grep -aq '^qz-guest: image broken' "$out/console.log"; then
  # The guest never came up (or lacks its prefix): the image is not to be
  # trusted. Rebuild it once and try again.
  echo "vm: the guest did not come up from $image (status $rc); rebuilding the image"
  tail -n 40 "$out/console.log"
  rm -rf --one-file-system "$image"
  ensure_image || die "no guest image"
  rc=0; boot || rc=$?
fi
tar xf "$out/results.img" -C "$out/results" 2>/dev/null || true

"$here/report.sh" "$build/vm-tests.txt" "$out" "$rc" "$limit" "$root/build/x86_64-wine.log" "$(elapsed)"
