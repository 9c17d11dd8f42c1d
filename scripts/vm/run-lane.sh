#!/usr/bin/env bash
# The i686 lane: runs the shipped 32-bit build's tests for real, under 32-bit
# Wine in a VM (this machine's kernel cannot run 32-bit code).
#
# Needs a built build/i686 tree. Builds or reuses the guest image cached in
# $QZ_VM_CACHE/vm-<stamp>/, copies build/i686/bin (the DLL, every test and
# helper executable, the demo host), the list of tests (build/i686/vm-tests.txt)
# and the test scripts it names into the guest, boots it, runs each test and
# the demo host's tour, QZ_VM_JOBS at once (by default as many as the guest has
# processors, QZ_VM_CPUS: 2), and reports each like CTest beside its verdict in
# the x86_64 lane, ending with "N tests failed out of M". That lane's verdicts
# come from its JUnit report (QZ_VM_COMPARE: by default build/x86_64-wine.xml,
# as scripts/test.sh leaves it; empty: no comparison) and its list of tests
# (QZ_VM_COMPARE_LIST: build/x86_64/vm-tests.txt). This lane's verdicts are
# written as a JUnit report too (QZ_VM_JUNIT: build/vm/junit.xml). Fails when a
# test fails or differs from the x86_64 lane, the guest's X server does not
# start, or the guest does not finish within QZ_VM_TIMEOUT seconds (each test:
# QZ_VM_TEST_TIMEOUT), in which case the guest's console log is shown.
# QZ_VM_LEFT_OUT ("NAME<tab>WHY" lines) leaves tests out here, and the lane
# says so: for a failure that is a Wine version's, not the DLL's. By default
# two, which the WoW64 lane runs under Wine 10:
# - the stack walk of host_symbols_test: Wine 8's dbghelp does not get past a
#   frame described by lld's x86 frame data (StackWalk64 returns the same
#   frame again and again);
# - the mouse test: its clang-built program hangs in DirectInput's exclusive
#   acquire under 32-bit Wine 8 with either DLL, clang's or GCC's, where the
#   GCC-built program passes with both.
#   run-lane.sh --image-only   only builds (or checks) the image
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$here/vm-lib.sh"

build=${QZ_VM_BUILD:-$root/build/i686}
out=${QZ_VM_OUT:-$root/build/vm}
limit=${QZ_VM_TIMEOUT:-1200}
test_limit=${QZ_VM_TEST_TIMEOUT:-300}
jobs=${QZ_VM_JOBS:-${QZ_VM_CPUS:-2}}
compare=${QZ_VM_COMPARE-$root/build/x86_64-wine.xml}
compare_list=${QZ_VM_COMPARE_LIST:-$root/build/x86_64/vm-tests.txt}
junit=${QZ_VM_JUNIT:-$out/junit.xml}
default_left_out="host_symbols_stack_test	Wine 8's dbghelp does not walk through frames that lld's x86 frame data describes (the WoW64 lane runs it, under Wine 10)
input_mouse_test	under 32-bit Wine 8 a test program built by clang 19 hangs in DirectInput's exclusive acquire (QZ_ListenMouse), whichever compiler built the DLL, while the GCC-built one passes against this DLL (the WoW64 lane runs it, under Wine 10)
fault_sweep	about 450 runs of a fresh process each, some seconds apiece under emulation: far past the lane's limit (the WoW64 lane runs it on the same DLL, under Wine 10)"
left_out=${QZ_VM_LEFT_OUT-$default_left_out}
tests=$out/tests.txt  # the list without what is left out
t_start=$(date +%s)
elapsed() { echo $(( $(date +%s) - t_start )); }

# The lane cannot run: one failed test (the lane itself), in both reports.
die() {
  echo "vm: $*" >&2
  echo "0% tests passed, 1 tests failed out of 1"
  [ "$image_only" = 1 ] || qz_junit_lane_failure i686-vm "$*" "$junit"
  exit 1
}

builder=("$root/scripts/make-root.sh" vm)
[ -z "${QZ_VM_IMAGE_BUILDER:-}" ] || builder=("$QZ_VM_IMAGE_BUILDER")
image_only=0; [ "${1:-}" = --image-only ] && image_only=1
[ "$image_only" = 1 ] || rm -f "$junit"

if [ "$image_only" = 0 ]; then
  [ -f "$build/vm-tests.txt" ] || die "no $build/vm-tests.txt: configure and build the i686 preset first"
  [ -f "$build/bin/qzutilities.dll" ] && [ -f "$build/bin/qzhost.exe" ] || die "no i686 build in $build/bin"
fi
command -v qemu-system-x86_64 >/dev/null || die "qemu-system-x86_64 missing (scripts/setup.sh)"

# --- the image: reuse it only when it is complete and unchanged.
stamp=$(qz_vm_stamp) || die "cannot stamp the image recipe"
image=$QZ_VM_CACHE/vm-$stamp

image_ok() {
  [ -f "$image/ready" ] && (cd "$image" && sha256sum --quiet --check ready >/dev/null 2>&1)
}

ensure_image() {
  mkdir -p "$QZ_VM_CACHE"
  exec 9>"$QZ_VM_CACHE/vm.lock"
  flock 9
  if [ -d "$image" ] && ! image_ok; then
    echo "vm: cached image $image is incomplete or changed; rebuilding"
    rm -rf --one-file-system "$image"
  fi
  if [ ! -d "$image" ]; then
    echo "vm: building the guest image $image"
    "${builder[@]}" "$image" || { exec 9>&-; return 1; }
    # Once it is made, images of other recipes, and builds that never
    # finished, are stale.
    local d
    for d in "$QZ_VM_CACHE"/vm-*; do
      [ -e "$d" ] || continue
      [ "$d" = "$image" ] || { echo "vm: removing stale $d"; rm -rf --one-file-system "$d"; }
    done
  fi
  exec 9>&-
}

# --- the payload and the results disk.
prepare() {
  # The guest runs the tests longest first, by the last run's times (a test
  # without one first of all), so that its workers finish together.
  local last=
  [ -f "$out/console.log" ] && last=$(tr -d '\r' <"$out/console.log" |
    sed -n 's/^qz-guest: result \([^ ]*\) [^ ]* \([0-9][0-9.]*\)$/\1 \2/p')
  rm -rf "$out"; mkdir -p "$out/stage" "$out/results"
  qz_without_left_out "$build/vm-tests.txt" "$left_out" >"$tests"
  qz_without_left_out "$compare_list" "$left_out" >"$out/compare-list.txt" 2>/dev/null || : >"$out/compare-list.txt"
  cp -a "$build/bin" "$out/stage/bin"
  # Of the PDBs, the guest needs the DLL's alone (the symbols test reads it).
  find "$out/stage/bin" -name '*.pdb' ! -name qzutilities.pdb -delete
  awk -F'\t' -v last="$last" 'BEGIN { n = split(last, l, "\n"); for (i = 1; i <= n; i++) { split(l[i], f, " "); t[f[1]] = f[2] } }
    { printf "%s\t%06d\t%s\n", ($1 in t) ? t[$1] : 1e9, NR, $0 }' "$tests" |
    sort -t$'\t' -k1,1gr -k2,2n | cut -f3- >"$out/stage/tests.txt"
  echo "$jobs" >"$out/stage/jobs"
  cp "$here/guest-run.sh" "$here/xvfb.sh" "$out/stage/"
  cp "$here/guest-wine-run" "$out/stage/wine-run"
  # The guest's shim between 32-bit Wine and libfaketime, for i686 Linux.
  mkdir -p "$out/stage/lib"
  clang --target=i686-linux-gnu -shared -fPIC -nostdlib -O2 -Wall -Werror \
    -o "$out/stage/lib/time64.so" "$here/time64.c" || return 1
  # The test scripts the list names, at their places in the source tree.
  local script
  for script in $(cut -f2 "$tests" | cut -d' ' -f1 | grep '\.sh$' | sort -u); do
    mkdir -p "$out/stage/src/$(dirname "$script")"
    cp "$root/$script" "$out/stage/src/$script" || return 1
  done
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
echo "vm: image $image; $(grep -c . "$tests") tests and the demo tour; limit ${limit}s"
while IFS=$'\t' read -r name why; do
  [ -n "$name" ] && echo "vm: not run here: $name: $why"
done <<<"$left_out"
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

status=0
"$here/report.sh" "$tests" "$out" "$rc" "$limit" "$(elapsed)" "$compare" "$out/compare-list.txt" ||
  status=$?
[ "$junit" = "$out/junit.xml" ] || cp "$out/junit.xml" "$junit"
exit $status
