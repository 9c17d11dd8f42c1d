#!/usr/bin/env bash
# The i686 lane in a VM (this kernel runs no 32-bit Linux code): the guest
# image (make-root.sh vm) booted with this checkout at its path (9p) runs
# ctest --preset vm under 32-bit Wine 8, shown live, its report to QZ_VM_JUNIT.
# Fails, saying why, when the guest does not report within QZ_VM_TIMEOUT s.
#   run-lane.sh --image-only     only builds (or checks) the image
#   run-lane.sh --kit DIR        runs the test kit unpacked in DIR (inside the
#                                checkout) as a user would, with the vm test
#                                preset's limit, exclusions and environment
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$here/vm-lib.sh"

build=$root/build/i686 out=$root/build/vm limit=${QZ_VM_TIMEOUT:-1200} junit=${QZ_VM_JUNIT:-$root/build/i686-vm.xml}
t_start=$(date +%s)
die() { echo "vm: $*" >&2; exit 1; }
image_only=0; [ "${1:-}" = --image-only ] && image_only=1
kit=; [ "${1:-}" = --kit ] && kit=$(realpath "${2:-}")
case "$kit" in "$root"/*) [ -f "$kit/qztest.exe" ] || die "no test kit in $kit" ;; "") ;; *) die "the kit ($kit) must be inside $root" ;; esac
[ "$image_only" = 1 ] || [ -n "$kit" ] || { rm -f "$junit"; [ -f "$build/CTestTestfile.cmake" ] && [ -f "$build/bin/qzutilities.dll" ]; } ||
  die "no i686 build in $build: configure and build the i686 preset first"
command -v qemu-system-x86_64 >/dev/null || die "qemu-system-x86_64 missing (scripts/setup.sh)"
# (The guest takes the checkout's path from its kernel's command line.)
case "$root" in *[[:space:]]*) die "the checkout's path ($root) has a space, which the guest's command line cannot carry" ;; esac

image=$QZ_VM_CACHE/vm-$("$root/scripts/make-root.sh" --key vm) || die "cannot stamp the image recipe"
ensure_image() { "$root/scripts/make-root.sh" vm; }

prepare() {  # the guest's clock shim, where the guest finds it
  rm -rf "$out"; mkdir -p "$out"
  clang --target=i686-linux-gnu -shared -fPIC -nostdlib -O2 -Wall -Werror -o "$out/time64.so" "$here/time64.c"
}

boot() {  # one boot, its "qz-guest:" console lines shown as they come
  : >"$out/console.log"
  QZ_VM_APPEND="qz.src=$root" qz_vm_boot "$image" run "$out/console.log" "$limit" \
    -drive "file=$image/disk.qcow2,if=virtio,format=qcow2,snapshot=on" \
    -virtfs "local,path=$root,mount_tag=qz,security_model=passthrough,id=qz" &
  local pid=$!; tail -n +1 -f --pid=$pid "$out/console.log" | sed -u -n 's/\r//g; s/^qz-guest: /  [vm] /p'
  wait "$pid"
}

ensure_image || die "no guest image"
[ "$image_only" = 0 ] || { echo "vm: image $image"; exit 0; }
prepare || die "cannot build the guest's clock shim into $out"
if [ -n "$kit" ]; then  # the guest runs the kit (scripts/vm/guest-run.sh) with what the vm preset sets
  python3 - "$root/CMakePresets.json" "$kit" >"$out/kit.env" <<'PY' || die "cannot read the vm test preset"
import json, shlex, sys
p = next(p for p in json.load(open(sys.argv[1]))["testPresets"] if p["name"] == "vm")
for k, v in list(p["environment"].items()) + [("QZ_KIT_DIR", sys.argv[2]), ("QZ_KIT_LIMIT", str(p["execution"]["timeout"])),
                                               ("QZ_KIT_EXCLUDE", p["filter"]["exclude"]["name"])]:
    print(f"export {k}={shlex.quote(v)}")
PY
fi
echo "vm: sha256 $(sha256sum "${kit:-$build}/bin/qzutilities.dll" | cut -d' ' -f1) of the DLL under test; image $image; limit ${limit}s"
rc=0; boot || rc=$?
if ! grep -aq '^qz-guest: up' "$out/console.log" || grep -aq '^qz-guest: image broken' "$out/console.log"; then
  # A guest that never came up (or lacks its prefix): rebuild the image once.
  echo "vm: the guest did not come up from $image (status $rc); rebuilding the image"; tail -n 40 "$out/console.log"
  rm -rf --one-file-system "$image"; ensure_image || die "no guest image"
  rc=0; boot || rc=$?
fi
if [ -n "$kit" ]; then
  echo "vm: the kit's run took $(( $(date +%s) - t_start ))s in all (report: $kit/report)"
  grep -aq '^qz-guest: kit exit 0\s*$' "$out/console.log" || die "the kit's run failed (console: $out/console.log)"
  exit 0
fi
[ -s "$out/junit.xml" ] || { tail -n 60 "$out/console.log" | tr -d '\r'
  die "the guest wrote no test report (qemu status $rc$([ "$rc" = 124 ] && echo ": killed at the ${limit}s limit"); console: $out/console.log)"; }
cp "$out/junit.xml" "$junit"
echo "vm: $(( $(date +%s) - t_start ))s in all"
grep -aq '^qz-guest: 100% tests passed' "$out/console.log"
