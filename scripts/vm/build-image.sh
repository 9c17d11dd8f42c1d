#!/usr/bin/env bash
# build-image.sh DEST: makes the guest image of the i686 lane in DEST (which
# must not exist yet): a minimal Debian 12 amd64 system with 32-bit Wine, Xvfb,
# xdotool and the 32-bit libfaketime, the guest's PID 1 (guest-init), and a
# ready 32-bit Wine prefix, made by booting
# the image once. DEST gets disk.qcow2, vmlinuz, initrd.img and, last, ready
# (the disk's checksum), so a folder without it is an unfinished build.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/vm-lib.sh"

dest=${1:?usage: build-image.sh DEST}
[ ! -e "$dest" ] || { echo "vm: $dest exists" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "vm: building the image needs root (debootstrap)" >&2; exit 1; }

work="$dest.tmp.$$"
root="$work/root"
t_start=$(date +%s)
log() { echo "vm image [$(( $(date +%s) - t_start ))s]: $*"; }

cleanup() {
  # Nothing may stay mounted inside the tree before it is deleted.
  local m
  for m in $(awk -v r="$root" 'index($2, r) == 1 { print $2 }' /proc/mounts | sort -r); do
    umount -l "$m" || true
  done
  if awk -v r="$root" 'index($2, r) == 1 { found = 1 } END { exit !found }' /proc/mounts; then
    echo "vm: $root still has mounts; left in place" >&2
  else
    rm -rf --one-file-system "$work"
  fi
}
trap cleanup EXIT
mkdir -p "$work"

# The machine's own Debian mirror, as apt here is set up to use it.
mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
  awk '/^(URIs:|deb )/ { for (i = 2; i <= NF; i++) if ($i ~ /^https?:\/\/.*\/debian\/?$/) { print $i; exit } }' || true)
[ -n "$mirror" ] || { echo "vm: no Debian mirror in the apt sources" >&2; exit 1; }

kver=$(qz_vm_kernel_version)
cp "/boot/vmlinuz-$kver" "$work/vmlinuz"
if [ -f "/boot/initrd.img-$kver" ]; then
  cp "/boot/initrd.img-$kver" "$work/initrd.img"
else
  mkinitramfs -o "$work/initrd.img" "$kver"
fi

log "debootstrap (minbase bookworm)"
debootstrap --variant=minbase --arch=amd64 bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
  { tail -n 30 "$work/debootstrap.log" >&2; exit 1; }

log "32-bit Wine, Xvfb, xdotool, 32-bit libfaketime"
# The same suites as this machine (with its security updates), binary only.
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  awk 'BEGIN { RS = ""; ORS = "\n\n" } /Types: deb( |\n|$)/' /etc/apt/sources.list.d/debian.sources \
    >"$root/etc/apt/sources.list.d/debian.sources"
  if [ -s "$root/etc/apt/sources.list.d/debian.sources" ]; then : >"$root/etc/apt/sources.list"
  else rm -f "$root/etc/apt/sources.list.d/debian.sources"; fi
fi
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"; chmod +x "$root/usr/sbin/policy-rc.d"
mount -t proc proc "$root/proc"
chroot "$root" dpkg --add-architecture i386
if ! chroot "$root" apt-get update -q >"$work/apt.log" 2>&1; then
  # A mirror can serve a broken index of the security suite for one
  # architecture ("File has unexpected size"), which would leave amd64 and
  # i386 packages at different versions. Then the guest takes the release
  # and its updates suite alone (as debootstrap did), and says so.
  failed=$(grep '^E: Failed to fetch' "$work/apt.log" || true)
  if [ -n "$failed" ] && ! grep -qv -- '-security/' <<<"$failed" &&
     [ -f "$root/etc/apt/sources.list.d/debian.sources" ]; then
    log "the mirror's security index failed to download; the image goes without the security suite:"
    sed 's/^/  /' <<<"$failed"
    awk 'BEGIN { RS = ""; ORS = "\n\n" } !/-security/' "$root/etc/apt/sources.list.d/debian.sources" \
      >"$work/sources" && mv "$work/sources" "$root/etc/apt/sources.list.d/debian.sources"
    rm -f "$root"/var/lib/apt/lists/*security*
    chroot "$root" apt-get update -q >"$work/apt.log" 2>&1 || { tail -n 30 "$work/apt.log" >&2; exit 1; }
  else
    tail -n 30 "$work/apt.log" >&2; exit 1
  fi
fi
# A package's install script can fail in a chroot (no running system); the
# guest finishes them with dpkg --configure -a when the prefix is made.
# Beside Wine: the X server and pointer tool of the display tests, the X
# extension libraries 32-bit Wine loads when they are there (as the host's
# wine64 has them), the 32-bit libfaketime for the midnight test, and CMake,
# whose ctest runs the tests.
DEBIAN_FRONTEND=noninteractive chroot "$root" apt-get install -y -q --no-install-recommends \
  wine32:i386 libwine:i386 xvfb xdotool libfaketime:i386 cmake \
  libxi6:i386 libxrandr2:i386 libxrender1:i386 libxcursor1:i386 libxfixes3:i386 libxinerama1:i386 \
  libxcomposite1:i386 libxxf86vm1:i386 >>"$work/apt.log" 2>&1 ||
  log "apt-get install reported errors; finished in the guest"
for f in /usr/lib/wine/wine /usr/lib/wine/wineserver32 /usr/bin/Xvfb /usr/bin/xdotool /usr/bin/ctest \
  /usr/lib/i386-linux-gnu/faketime/libfaketime.so.1; do
  [ -e "$root$f" ] || { tail -n 30 "$work/apt.log" >&2; echo "vm: $f missing in the image" >&2; exit 1; }
done
chroot "$root" apt-get clean
umount "$root/proc"
rm -rf "$root"/var/lib/apt/lists/* "$root"/usr/share/doc/* "$root"/usr/share/man/* "$root/usr/sbin/policy-rc.d"
install -m 0755 "$here/guest-init" "$root/sbin/qz-init"
echo qz-guest >"$root/etc/hostname"

log "disk image"
mke2fs -q -t ext4 -L qzroot -d "$root" "$work/disk.raw" 4G
qemu-img convert -O qcow2 "$work/disk.raw" "$work/disk.qcow2"
rm -f "$work/disk.raw"
rm -rf --one-file-system "$root"

log "first boot: the Wine prefix"
rc=0
qz_vm_boot "$work" setup "$work/setup-console.log" "${QZ_VM_SETUP_LIMIT:-1800}" \
  -drive "file=$work/disk.qcow2,if=virtio,format=qcow2,discard=unmap" || rc=$?
if [ "$rc" != 0 ] || ! grep -q '^qz-guest: setup ok' "$work/setup-console.log"; then
  echo "vm: the first boot did not finish (status $rc); its console:" >&2
  tail -n 80 "$work/setup-console.log" >&2
  exit 1
fi
grep '^qz-guest: setup ok' "$work/setup-console.log" | sed 's/^qz-guest: /vm image: /'
qemu-img convert -O qcow2 "$work/disk.qcow2" "$work/disk.compact.qcow2"
mv "$work/disk.compact.qcow2" "$work/disk.qcow2"

(cd "$work" && sha256sum disk.qcow2 vmlinuz initrd.img >ready)
rm -f "$work"/*.log
mv "$work" "$dest"
trap - EXIT
log "done: $dest ($(du -sh "$dest" | cut -f1))"
