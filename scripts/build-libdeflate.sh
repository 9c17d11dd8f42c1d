#!/usr/bin/env bash
# Builds the static libdeflate library (the file CRC-32 uses its
# libdeflate_crc32) for one MinGW-w64 target from Debian's libdeflate source
# package, into a cache outside the clone. Reused when the stamp of this
# recipe matches.
#   usage: build-libdeflate.sh i686|x86_64
# Upstream's own Makefile is used with its default flags: the CRC keeps its
# run-time CPU dispatch (the carry-less-multiply code is compiled with
# per-function target attributes and chosen by CPUID on the first call; the
# portable slice-by-8 code serves processors without PCLMULQDQ), and on
# i686 its entry points realign the stack (force_align_arg_pointer), since
# the engine's MSVC-built code keeps only 4-byte alignment.
set -euo pipefail
target=${1:?usage: build-libdeflate.sh i686|x86_64}
case "$target" in i686|x86_64) ;; *) echo "unknown target $target" >&2; exit 2 ;; esac

LIBDEFLATE_VER=1.14
RECIPE=1            # bump when the flags below change
cache=${QZ_CACHE:-/var/cache/qzutilities}
out=$cache/libdeflate-$LIBDEFLATE_VER-$target-r$RECIPE
cc=$target-w64-mingw32-gcc-posix

if [ -f "$out/.done" ]; then
  echo "libdeflate $LIBDEFLATE_VER for $target: cached in $out"
  exit 0
fi
mkdir -p "$cache"
rm -rf "$out" "$out.tmp"; mkdir -p "$out.tmp"
"$(dirname "$0")/apt-source.sh" "bookworm bookworm-updates" libdeflate "$out.tmp"
orig=$(ls "$out.tmp"/libdeflate_"$LIBDEFLATE_VER".orig.tar.* 2>/dev/null | head -n1)
[ -n "$orig" ] || { echo "libdeflate: no $LIBDEFLATE_VER source from apt" >&2; exit 1; }
mkdir -p "$out.tmp/src"
tar -C "$out.tmp/src" --strip-components=1 -xf "$orig"
# Debian's patches (quilt series), as the package builds it.
deb=$(ls "$out.tmp"/libdeflate_"$LIBDEFLATE_VER"-*.debian.tar.* | head -n1)
tar -C "$out.tmp/src" -xf "$deb"
if [ -f "$out.tmp/src/debian/patches/series" ]; then
  while read -r p; do
    [ -n "$p" ] && [ "${p#\#}" = "$p" ] || continue
    patch -d "$out.tmp/src" -p1 -s < "$out.tmp/src/debian/patches/$p"
  done < "$out.tmp/src/debian/patches/series"
fi

make -C "$out.tmp/src" -j"$(nproc)" CC="$cc" AR="$target-w64-mingw32-ar" \
  libdeflatestatic.lib >"$out.log" 2>&1 || { tail -n 40 "$out.log"; exit 1; }
mkdir -p "$out/include" "$out/lib"
cp "$out.tmp/src/libdeflate.h" "$out/include/"
cp "$out.tmp/src/libdeflatestatic.lib" "$out/lib/libdeflate.a"
cp "$out.tmp/src/COPYING" "$out/COPYING"
rm -rf "$out.tmp"
touch "$out/.done"
echo "libdeflate $LIBDEFLATE_VER for $target: built into $out"
