#!/usr/bin/env bash
# Builds (or reuses) the Debian 13 root in which scripts/wow64-run runs
# Windows programs, 32-bit ones included, under Wine 10's WoW64 mode: the
# 32-bit Windows code runs natively in a 64-bit process, whose Unix side
# stays 64-bit, which is all this machine's kernel offers. The same root
# holds the shipped DLL's toolchain (scripts/root-run): clang and lld 19
# against Debian 13's MinGW-w64 runtime, at the versions lib.sh names.
#
# Debian 13's wine64 package alone runs only 64-bit programs: its libwine
# ships an empty i386-windows folder. The 32-bit Windows DLLs are those of
# libwine:i386 of the same version, which the root fetches with its own apt
# and unpacks into that folder (never installed: its Unix half is 32-bit).
# Everything comes from the machine's Debian mirror through the root's own
# apt; the host's apt sources and packages are not touched.
# See scripts/wow64/lib.sh for where the root lives and what it holds.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

if dir=$(qz_wow64_dir); then
  echo "wow64 root: cached in $dir ($(grep '^wine ' "$dir/ready"))"
  exit 0
fi
[ "$(id -u)" = 0 ] || { echo "wow64 root: building it needs root (debootstrap, chroot)" >&2; exit 1; }
for tool in debootstrap unshare gcc python3; do
  command -v "$tool" >/dev/null || { echo "wow64 root: $tool missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
mirror=$("$here/../debian-mirror.sh" || true)
[ -n "$mirror" ] || { echo "wow64 root: no Debian mirror in the apt sources" >&2; exit 1; }

mkdir -p "$QZ_CACHE"
work=$QZ_CACHE/wow64-$QZ_WOW64_SUITE-build.$$
root=$work/root
t_start=$(date +%s)
log() { echo "wow64 root [$(( $(date +%s) - t_start ))s]: $*"; }
# The chroot steps run in a private mount namespace of their own (proc
# mounted there), so a failed build leaves nothing mounted under the cache.
in_root() { unshare --mount --propagation private -- sh -c 'mount -t proc proc "$0/proc" && exec chroot "$@"' "$root" "$root" "$@"; }
cleanup() {
  if qz_mounts_under "$work/" >/dev/null; then
    echo "wow64 root: $work still has mounts; left in place" >&2
  else
    rm -rf --one-file-system "$work"
  fi
}
trap cleanup EXIT
rm -rf --one-file-system "$work"; mkdir -p "$work"

# Beside Wine: time zones (TZ), the X server and pointer tool of the display
# tests, the X extension libraries Wine loads when they are there, and the
# 64-bit libfaketime (the Unix side is 64-bit) for the midnight test.
packages=wine64,libwine,tzdata,xvfb,xdotool,libfaketime,libxi6,libxrandr2,libxrender1,libxcursor1,libxfixes3,libxinerama1,libxcomposite1,libxxf86vm1,libfreetype6
# The i686 toolchain: clang, lld and LLVM's binary tools (llvm-dlltool,
# llvm-pdbutil, llvm-readobj, llvm-windres), GCC 14's MinGW-w64 runtime and
# binutils, and what the build takes from Debian.
packages+=,clang-19,lld-19,llvm-19,g++-mingw-w64-i686-posix,binutils-mingw-w64-i686,cmake,ninja-build
packages+=,googletest,libutfcpp-dev,libz-mingw-w64-dev,unzip
log "debootstrap (minbase $QZ_WOW64_SUITE, with $packages)"
debootstrap --variant=minbase --arch=amd64 --include="$packages" "$QZ_WOW64_SUITE" "$root" "$mirror" \
  >"$work/debootstrap.log" 2>&1 || { tail -n 30 "$work/debootstrap.log" >&2; exit 1; }

version() { in_root dpkg-query -W -f='${Version}' "$1" 2>/dev/null; }
for pinned in "${QZ_ROOT_TOOLCHAIN[@]}"; do
  have=$(version "${pinned%%=*}")
  [ "$have" = "${pinned#*=}" ] || {
    echo "wow64 root: $QZ_WOW64_SUITE has ${pinned%%=*} ${have:-missing}, this recipe builds with ${pinned#*=}" \
      "(scripts/wow64/lib.sh names the toolchain's versions)" >&2
    exit 1
  }
done
wine_ver=$(version wine64) lib_ver=$(version libwine)
[ -n "$wine_ver" ] && [ "$wine_ver" = "$lib_ver" ] ||
  { echo "wow64 root: wine64 is '${wine_ver:-missing}' but libwine '${lib_ver:-missing}'" >&2; exit 1; }

log "the 32-bit Windows DLLs of libwine:i386 $wine_ver"
in_root dpkg --add-architecture i386
in_root apt-get update -q >"$work/apt.log" 2>&1 || { tail -n 30 "$work/apt.log" >&2; exit 1; }
i386_ver=$(in_root apt-cache policy libwine:i386 | sed -n 's/^ *Candidate: //p')
if [ "$i386_ver" != "$wine_ver" ]; then
  echo "wow64 root: libwine:i386 is '${i386_ver:-missing}' in $QZ_WOW64_SUITE, but wine64 and libwine are $wine_ver:" \
    "the 32-bit DLLs must be the same version as the 64-bit Wine" >&2
  exit 1
fi
mkdir -p "$root/var/tmp/libwine-i386" "$work/libwine-i386"
in_root sh -c "cd /var/tmp/libwine-i386 && apt-get download -q 'libwine:i386=$wine_ver'" >>"$work/apt.log" 2>&1 ||
  { tail -n 30 "$work/apt.log" >&2; exit 1; }
dpkg-deb -x "$root"/var/tmp/libwine-i386/libwine_*_i386.deb "$work/libwine-i386"
pe32=$work/libwine-i386/usr/lib/i386-linux-gnu/wine/i386-windows
dest=$root/usr/lib/x86_64-linux-gnu/wine/i386-windows
n32=$(find "$pe32" -maxdepth 1 -type f 2>/dev/null | wc -l)
[ "$n32" -gt 0 ] || { echo "wow64 root: libwine:i386 $wine_ver holds no i386-windows files" >&2; exit 1; }
mkdir -p "$dest"
cp -a "$pe32"/. "$dest"/
rm -rf "$root/var/tmp/libwine-i386"
# The i386 lists were only for that download.
in_root dpkg --remove-architecture i386
in_root apt-get clean
rm -rf "$root"/var/lib/apt/lists/*

# GCC's runtime archives, as lld needs them: the unwind records of their
# COMDAT functions get back the section symbols the distribution's strip
# removed (scripts/comdat-symbols.py says why), so exceptions unwind through
# libstdc++ in the DLL that lld links.
log "the unwind records of GCC's runtime archives"
python3 "$here/../comdat-symbols.py" "$root"/usr/lib/gcc/i686-w64-mingw32/*-posix/*.a >"$work/comdat.log" 2>&1 ||
  { tail -n 30 "$work/comdat.log" >&2; exit 1; }
for a in $(sed -n 's/^\(.*\.a\): [1-9].*/\1/p' "$work/comdat.log"); do
  in_root i686-w64-mingw32-ranlib "${a#"$root"}"
done

for f in /usr/lib/wine/wine64 /usr/lib/wine/wineserver /usr/bin/Xvfb /usr/bin/xdotool \
  /usr/bin/clang-19 /usr/lib/llvm-19/bin/ld.lld /usr/bin/llvm-pdbutil-19 /usr/bin/cmake /usr/src/googletest/CMakeLists.txt \
  /usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 /usr/share/zoneinfo/Asia/Tokyo \
  /usr/lib/x86_64-linux-gnu/wine/i386-windows/kernel32.dll; do
  [ -e "$root$f" ] || { echo "wow64 root: $f missing in the root" >&2; exit 1; }
done

# Mount points of every run (scripts/wow64/enter.sh).
mkdir -p "$root/opt/qz/prefix" "$root/opt/qz/scratch" "$work/prefix"

log "the probe for 32-bit code"
gcc -O2 -Wall -Werror -o "$work/probe32" "$here/probe32.c"
"$work/probe32" || echo "wow64 root: this kernel cannot run 32-bit code; only 64-bit programs will run" >&2

log "the Wine prefix"
# Made as every run will see it: the same paths, no display.
env -u DISPLAY WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
  unshare --mount --pid --fork --kill-child --propagation private -- \
  "$here/enter.sh" "$work" setup / /usr/lib/wine/wine64 wineboot -i </dev/null >"$work/wineboot.log" 2>&1 || true
for f in system.reg drive_c/windows/system32/kernel32.dll drive_c/windows/syswow64/kernel32.dll; do
  [ -f "$work/prefix/$f" ] || { tail -n 30 "$work/wineboot.log" >&2; echo "wow64 root: the prefix has no $f" >&2; exit 1; }
done
# Most of the prefix is copies of Wine's own DLLs: link them instead (runs
# see the prefix through an overlay, so none of them writes to these).
log "hard links: $(hardlink -c "$work/prefix" "$root/usr/lib/x86_64-linux-gnu/wine" 2>&1 | grep -E '^Saved' | tr -s ' ' ' ')"

final=$QZ_CACHE/wow64-$QZ_WOW64_SUITE-wine$wine_ver-r$QZ_WOW64_RECIPE
{
  echo "suite $QZ_WOW64_SUITE"
  echo "wine $wine_ver"
  echo "recipe $QZ_WOW64_RECIPE"
  echo "i386-windows $n32 files"
  echo "built $(date -u +%Y-%m-%dT%H:%M:%SZ) in $(( $(date +%s) - t_start ))s"
} >"$work/ready.tmp"
rm -f "$work"/*.log
# Roots of other recipes or versions are stale.
for d in "$QZ_CACHE"/wow64-*-r*; do
  [ -d "$d" ] && [ "$d" != "$final" ] || continue
  echo "wow64 root: removing stale $d"; rm -rf --one-file-system "$d"
done
rm -rf --one-file-system "$final"
mv "$work/ready.tmp" "$work/ready.pending"
mv "$work" "$final"
mv "$final/ready.pending" "$final/ready"
trap - EXIT
log "built $final ($(du -sh "$final" | cut -f1))"
