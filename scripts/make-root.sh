#!/usr/bin/env bash
# make-root.sh wow64|vm | make-root.sh --key wow64|vm
#   A Debian root by mmdebstrap from this machine's mirror into the cache as
#   KIND-<key>/, the key a hash of the recipe (this script, scripts/wine.env,
#   the pins, what goes in); reused while intact, a new one removes the rest.
#   wow64  ($QZ_WOW64_CACHE) Debian 13, Wine 10, the i686 toolchain (wow64/lib.sh)
#   vm     ($QZ_VM_CACHE) the VM lane's Debian 12 guest with 32-bit Wine, booted
#          once to make its prefix: disk.qcow2, vmlinuz, initrd.img, ready
#   QZ_ROOT_BUILDER (tests): a program that fills the new folder instead.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
self=$here/$(basename "$0")
source "$here/../versions.env"
source "$here/wow64/lib.sh"
source "$here/vm/vm-lib.sh"
die() { echo "make-root: $*" >&2; exit 1; }
usage="usage: make-root.sh wow64|vm | make-root.sh --key wow64|vm"

mode=build
case "${1:-}" in --key|--hook) mode=${1#--}; shift ;; esac
kind=${1:-}
case "$kind" in
  wow64)
    suites=trixie tools="gcc python3" cache=$QZ_WOW64_CACHE
    # Beside Wine: the display tests' X server, pointer tool and the X
    # libraries Wine loads if present; the 64-bit libfaketime (Wine's Unix
    # side is 64-bit). The toolchain: clang, lld, LLVM's binary tools, GCC 14's
    # MinGW-w64 runtime and binutils.
    packages="wine64 libwine tzdata xvfb xdotool libfaketime libxi6 libxrandr2 libxrender1 libxcursor1
      libxfixes3 libxinerama1 libxcomposite1 libxxf86vm1 libfreetype6
      clang-19 lld-19 llvm-19 g++-mingw-w64-i686-posix binutils-mingw-w64-i686 cmake ninja-build
      googletest libutfcpp-dev libz-mingw-w64-dev unzip"
    files="/usr/lib/wine/wine64 /usr/lib/wine/wineserver /usr/bin/Xvfb /usr/bin/xdotool /usr/bin/clang-19
      /usr/lib/llvm-19/bin/ld.lld /usr/bin/llvm-pdbutil-19 /usr/bin/cmake /usr/src/googletest/CMakeLists.txt
      /usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 /usr/share/zoneinfo/Asia/Tokyo
      /usr/lib/x86_64-linux-gnu/wine/i386-windows/kernel32.dll"
    recipe() { echo "$QZ_ROOT_TOOLCHAIN"; cat "$here/comdat-symbols.py" "$here/wow64/probe32.c"; } ;;
  vm)
    suites="bookworm bookworm-updates" tools="qemu-img qemu-system-x86_64" cache=$QZ_VM_CACHE
    # Beside 32-bit Wine: the same display tools and X libraries, the 32-bit
    # libfaketime, and insmod for the 9p modules.
    packages="wine32:i386 xvfb xauth xdotool libfaketime:i386 libxi6:i386 libxrandr2:i386 libxrender1:i386
      libxcursor1:i386 libxfixes3:i386 libxinerama1:i386 libxcomposite1:i386 libxxf86vm1:i386 cmake kmod"
    files="/usr/lib/wine/wine /usr/lib/wine/wineserver32 /usr/bin/xvfb-run /usr/bin/xauth /usr/bin/xdotool
      /usr/bin/ctest /usr/lib/i386-linux-gnu/faketime/libfaketime.so.1 /lib/modules/qz/9p.ko"
    recipe() { echo "$QZ_VM_WINE"; qz_vm_kernel_version; cat "$here/vm/guest-init"; } ;;
  *) die "$usage" ;;
esac
key() { { cat "$self" "$here/wine.env"; recipe; } | sha256sum | cut -c1-12; }

# What the suites serve, as apt in the root sees it (mmdebstrap's hooks).
served() { APT_CONFIG=$MMDEBSTRAP_APT_CONFIG apt-cache policy "$1" | sed -n 's/^ *Candidate: //p'; }
pinned() {  # pinned PACKAGE VERSION
  local have; have=$(served "$1")
  [ "$have" = "$2" ] || die "Debian ${suites%% *} serves $1 ${have:-(none)}, but versions.env pins $2: a new version needs a new pin"
}

# Run by mmdebstrap: STAGE ROOT. "extract" comes once the package lists are
# there, before anything is installed: a wrong version stops the build early.
hook() {
  local stage=$1 r=$2 p f
  case $kind-$stage in
    wow64-extract)
      for p in $QZ_ROOT_TOOLCHAIN; do pinned "${p%%=*}" "${p#*=}"; done
      # Debian 13's libwine ships an empty i386-windows folder: the 32-bit
      # DLLs are unpacked from libwine:i386 of the same version (never
      # installed: its Unix half is 32-bit).
      local wine; wine=$(served wine64)
      for p in libwine libwine:i386; do
        [ "$(served $p)" = "$wine" ] ||
          die "Debian ${suites%% *} serves wine64 $wine but $p $(served $p): the 32-bit DLLs must be the same version as the 64-bit Wine"
      done ;;
    vm-extract) pinned wine32:i386 "$QZ_VM_WINE" ;;
    wow64-customize)
      local work=$QZ_ROOT_WORK pe32=usr/lib/i386-linux-gnu/wine/i386-windows
      (cd "$work" && APT_CONFIG=$MMDEBSTRAP_APT_CONFIG apt-get download -q \
        "libwine:i386=$(chroot "$r" dpkg-query -W -f='${Version}' wine64)") >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log" >&2; die "cannot download libwine:i386"; }
      dpkg-deb -x "$work"/libwine_*_i386.deb "$work/libwine-i386"
      [ -f "$work/libwine-i386/$pe32/kernel32.dll" ] || die "libwine:i386 holds no i386-windows files"
      cp -a "$work/libwine-i386/$pe32/." "$r/usr/lib/x86_64-linux-gnu/wine/i386-windows/"
      rm -rf "$work"/libwine*
      chroot "$r" dpkg --remove-architecture i386
      # GCC's runtime archives get back the COMDAT section symbols lld needs
      # to keep their unwind records (scripts/comdat-symbols.py says why).
      python3 "$here/comdat-symbols.py" "$r"/usr/lib/gcc/i686-w64-mingw32/*-posix/*.a >"$work/comdat.log" ||
        { cat "$work/comdat.log" >&2; die "cannot mend GCC's archives"; }
      for p in $(sed -n 's/^\(.*\.a\): [1-9].*/\1/p' "$work/comdat.log"); do chroot "$r" i686-w64-mingw32-ranlib "${p#"$r"}"; done ;;
    vm-customize)
      # The guest boots this machine's kernel and mounts the checkout over 9p.
      mkdir -p "$r/lib/modules/qz"
      for p in netfs fscache 9pnet 9pnet_virtio 9p; do
        f=$(modinfo -k "$(qz_vm_kernel_version)" -F filename $p) && cp "$f" "$r/lib/modules/qz/" || die "no kernel module $p"
      done
      install -m 0755 "$here/vm/guest-init" "$r/sbin/qz-init"
      install -D -m 0644 "$here/wine.env" "$r/etc/qz/wine.env"
      echo qz-guest >"$r/etc/hostname" ;;
  esac
  [ "$stage" != customize ] || for f in $files; do [ -e "$r$f" ] || die "$f missing in the root"; done
}

case $mode in key) key; exit ;; hook) hook "$2" "$3"; exit ;; esac
[ $# = 1 ] || die "$usage"
final=$cache/$kind-$(key)
mkdir -p "$cache"; exec 9>"$cache/$kind.lock"; flock 9
# Intact: a wow64 root made for 32-bit code unless none runs here; a vm
# image whose files match their checksums.
intact() {
  [ -f "$final/ready" ] || return 1
  if [ "$kind" = wow64 ]; then grep -q '64 32-bit' "$final/ready" || ! "$final/probe32" 2>/dev/null
  else (cd "$final" && sha256sum --quiet --check ready >/dev/null 2>&1); fi
}
if intact; then echo "$kind root: cached in $final"; exit 0; fi
[ ! -e "$final" ] || echo "$kind root: $final is incomplete or changed; rebuilding"
t_start=$(date +%s)
log() { echo "$kind root [$(( $(date +%s) - t_start ))s]: $*"; }
work=$final.tmp.$$; trap 'rm -rf --one-file-system "$work"' EXIT
rm -rf --one-file-system "$work"; mkdir -p "$work"

build() {
  [ "$(id -u)" = 0 ] || die "building a root needs root (mmdebstrap, chroot)"
  for t in mmdebstrap $tools; do command -v "$t" >/dev/null || die "$t missing (scripts/setup.sh installs it)"; done
  mirror=$("$here/debian-mirror.sh" || true)
  [ -n "$mirror" ] || die "no Debian mirror in the apt sources"
  sources=(); for s in $suites; do sources+=("deb $mirror $s main"); done
  log "mmdebstrap (minbase $suites, amd64 and i386, with" $packages")"
  QZ_ROOT_WORK=$work mmdebstrap --mode=unshare --variant=minbase --architectures=amd64,i386 \
    --include="$(echo $packages)" --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-exclude=/usr/share/man/*' \
    --extract-hook="\"$self\" --hook $kind extract \"\$1\"" --customize-hook="\"$self\" --hook $kind customize \"\$1\"" \
    "${suites%% *}" "$work/root" "${sources[@]}" >"$work/mmdebstrap.log" 2>&1 ||
    { grep '^make-root:' "$work/mmdebstrap.log" >&2 || tail -n 30 "$work/mmdebstrap.log" >&2; exit 1; }
  root=$work/root

  if [ "$kind" = wow64 ]; then
    log "the probe for 32-bit code"
    gcc -O2 -Wall -Werror -o "$work/probe32" "$here/wow64/probe32.c"
    # Without 32-bit code (some hypervisors give none) the root still serves
    # its toolchain and 64-bit Wine; wow64-run refuses 32-bit programs.
    bits="64 32" syswow64=drive_c/windows/syswow64/kernel32.dll
    why32=$("$work/probe32" 2>&1) || { bits=64 syswow64=
      echo "wow64 root: this kernel cannot run 32-bit code ($why32); only 64-bit programs will run" >&2; }

    log "the Wine prefix"
    # Made as every run sees it, without a display (run/: each run's tmpfs).
    mkdir -p "$work/prefix" "$work/run"
    env -u DISPLAY unshare --mount --pid --fork --kill-child --propagation private -- \
      "$here/wow64/enter.sh" "$work" setup / /usr/lib/wine/wine64 wineboot -i </dev/null >"$work/wineboot.log" 2>&1 || true
    for f in system.reg drive_c/windows/system32/kernel32.dll $syswow64; do
      [ -f "$work/prefix/$f" ] || { tail -n 30 "$work/wineboot.log" >&2; die "the prefix has no $f"; }
    done
    # The prefix's copies of Wine's DLLs become hard links (runs see the
    # prefix through an overlay, so none writes to them).
    log "hard links: $(hardlink -c "$work/prefix" "$root/usr/lib/x86_64-linux-gnu/wine" 2>&1 | grep -E '^Saved' | tr -s ' ' ' ')"
    printf '%s\n' "suite $suites" "key $(key)" \
      "wine $(chroot "$root" dpkg-query -W -f='${Version}' wine64), prefix for $bits-bit programs" \
      "i386-windows $(find "$root/usr/lib/x86_64-linux-gnu/wine/i386-windows" -maxdepth 1 -type f | wc -l) files" \
      "built $(date -u +%Y-%m-%dT%H:%M:%SZ) in $(( $(date +%s) - t_start ))s" >"$work/ready"
  else
    kver=$(qz_vm_kernel_version)
    cp "/boot/vmlinuz-$kver" "$work/vmlinuz"
    if [ -f "/boot/initrd.img-$kver" ]; then cp "/boot/initrd.img-$kver" "$work/initrd.img"
    else mkinitramfs -o "$work/initrd.img" "$kver"; fi
    log "disk image"
    mke2fs -q -t ext4 -L qzroot -d "$root" "$work/disk.raw" 4G
    qemu-img convert -O qcow2 "$work/disk.raw" "$work/disk.qcow2"
    rm -rf --one-file-system "$work/disk.raw" "$root"

    log "first boot: the Wine prefix"; rc=0
    qz_vm_boot "$work" setup "$work/setup-console.log" "${QZ_VM_SETUP_LIMIT:-1800}" \
      -drive "file=$work/disk.qcow2,if=virtio,format=qcow2,discard=unmap" || rc=$?
    [ "$rc" = 0 ] && grep -q '^qz-guest: setup ok' "$work/setup-console.log" ||
      { tail -n 80 "$work/setup-console.log" >&2; die "the first boot did not finish (status $rc); its console is above"; }
    grep '^qz-guest: setup ok' "$work/setup-console.log" | sed 's/^qz-guest: /vm root: /'
    qemu-img convert -O qcow2 "$work/disk.qcow2" "$work/disk.compact.qcow2"
    mv "$work/disk.compact.qcow2" "$work/disk.qcow2"
    (cd "$work" && sha256sum disk.qcow2 vmlinuz initrd.img >ready)
  fi
}
if [ -n "${QZ_ROOT_BUILDER:-}" ]; then "$QZ_ROOT_BUILDER" "$work"; else build; fi
rm -f "$work"/*.log; rm -rf --one-file-system "$final"; mv "$work" "$final"; trap - EXIT
# Folders of other recipes are stale (a build of this cache holds the lock).
for d in "$cache/$kind"-*; do
  [ "$d" = "$final" ] || [ ! -e "$d" ] || { echo "$kind root: removing stale $d"; rm -rf --one-file-system "$d"; }
done
log "built $final ($(du -sh "$final" | cut -f1))"
