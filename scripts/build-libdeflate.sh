#!/usr/bin/env bash
# Builds the static libdeflate library (the file CRC-32 uses its
# libdeflate_crc32) for one MinGW-w64 target from Debian 13's libdeflate
# source package, into a cache outside the clone. Reused when the stamp of
# this recipe matches.
#   usage: build-libdeflate.sh i686|x86_64|i686-gcc
# (scripts/flavours.sh says which compiler builds each.)
# The source comes through an apt state of the cache's own
# (scripts/apt-source.sh); the version Debian 13 offers must be the one this
# recipe names. Upstream's own CMake build is used with its default flags:
# the CRC keeps its run-time CPU dispatch (each carry-less-multiply kernel,
# on 128-bit, 256-bit (AVX2) and 512-bit (AVX-512) vectors, is compiled with
# per-function target attributes and chosen by CPUID on the first call; the
# portable slice-by-8 code serves processors without PCLMULQDQ), on i686 as
# on x86_64, and on i686 its entry points realign the stack
# (force_align_arg_pointer), since the engine's MSVC-built code keeps only
# 4-byte alignment.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/flavours.sh"
flavour=${1:?usage: build-libdeflate.sh i686|x86_64|i686-gcc}
qz_flavour "$flavour" || exit 2

source "$here/../versions.env"  # the version, and the recipe number to bump
LIBDEFLATE_VER=$QZ_LIBDEFLATE_VERSION  # when the flags below change
SUITE=trixie        # Debian 13
RECIPE=$QZ_LIBDEFLATE_RECIPE
cache=${QZ_CACHE:-/var/cache/qzutilities}
out=$cache/libdeflate-$LIBDEFLATE_VER-$folder-r$RECIPE

if [ -f "$out/.done" ]; then
  echo "libdeflate $LIBDEFLATE_VER for $flavour: cached in $out"
  exit 0
fi
mkdir -p "$cache"
rm -rf "$out" "$out.tmp"; mkdir -p "$out.tmp"
# apt checks every file it fetches against the suite's signed index; a file
# the mirror lacks is reported, and judged below.
"$here/apt-source.sh" "$SUITE" libdeflate "$out.tmp" 2>"$out.tmp/fetch.log" || true
orig=$(ls "$out.tmp"/libdeflate_*.orig.tar.* 2>/dev/null | head -n1 || true)
if [ -z "$orig" ]; then
  cat "$out.tmp/fetch.log" >&2
  echo "libdeflate: no source package from Debian's $SUITE" >&2; exit 1
fi
got=$(basename "$orig"); got=${got#libdeflate_}; got=${got%.orig.tar.*}
[ "$got" = "$LIBDEFLATE_VER" ] ||
  { echo "libdeflate: Debian's $SUITE has $got, this recipe builds $LIBDEFLATE_VER" >&2; exit 1; }
mkdir -p "$out.tmp/src"
tar -C "$out.tmp/src" --strip-components=1 -xf "$orig"
# Debian's patches (quilt series), as the package builds it, when the mirror
# has the Debian part of the source package.
deb=$(ls "$out.tmp"/libdeflate_"$LIBDEFLATE_VER"-*.debian.tar.* 2>/dev/null | head -n1 || true)
if [ -n "$deb" ]; then
  tar -C "$out.tmp/src" -xf "$deb"
  if [ -f "$out.tmp/src/debian/patches/series" ]; then
    while read -r p; do
      [ -n "$p" ] && [ "${p#\#}" = "$p" ] || continue
      patch -d "$out.tmp/src" -p1 -s < "$out.tmp/src/debian/patches/$p"
    done < "$out.tmp/src/debian/patches/series"
  fi
else
  echo "libdeflate: the mirror has no Debian part of $LIBDEFLATE_VER for $SUITE; building its upstream tarball, checked by apt" >&2
fi

if [ -n "$clang_debug" ]; then
  tools=(-DCMAKE_C_COMPILER=clang-19 -DCMAKE_C_COMPILER_TARGET=i686-w64-mingw32
         -DCMAKE_AR=/usr/bin/llvm-ar-19 -DCMAKE_RANLIB=/usr/bin/llvm-ranlib-19 "-DCMAKE_C_FLAGS=-g $clang_debug")
else
  tools=(-DCMAKE_C_COMPILER="$target-w64-mingw32-gcc-posix" -DCMAKE_AR="$(command -v "$target-w64-mingw32-ar")"
         -DCMAKE_RANLIB="$(command -v "$target-w64-mingw32-ranlib")")
fi
"${run[@]}" cmake -S "$out.tmp/src" -B "$out.tmp/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$target" "${tools[@]}" \
  -DLIBDEFLATE_BUILD_SHARED_LIB=OFF -DLIBDEFLATE_BUILD_GZIP=OFF -DLIBDEFLATE_BUILD_TESTS=OFF \
  >"$out.log" 2>&1 && "${run[@]}" cmake --build "$out.tmp/build" >>"$out.log" 2>&1 ||
  { tail -n 40 "$out.log"; exit 1; }
mkdir -p "$out/include" "$out/lib"
cp "$out.tmp/src/libdeflate.h" "$out/include/"
cp "$out.tmp/build/libdeflate.a" "$out/lib/libdeflate.a"
cp "$out.tmp/src/COPYING" "$out/COPYING"
rm -rf "$out.tmp"
touch "$out/.done"
echo "libdeflate $LIBDEFLATE_VER for $flavour: built into $out"
