#!/usr/bin/env bash
# build-lib.sh boost|libdeflate i686|x86_64|i686-gcc
#   Builds one of the static libraries the DLL links, for one MinGW-w64
#   target, from Debian's source package into the cache outside the clone,
#   $QZ_CACHE/LIB-VERSION-FOLDER-rRECIPE, reused while its recipe (versions.env)
#   is the same. The sources come through an apt state of the cache's own
#   (scripts/apt-source.sh), which checks them against the suite's signed index.
#     boost       Log and what it pulls in, from Debian 12's source package,
#                 with the patches of patches/boost applied in order (each says
#                 why), from one shared source tree with a bootstrapped b2
#     libdeflate  the CRC-32's libdeflate_crc32, from Debian 13's source
#                 package (with Debian's patches where the mirror has them),
#                 by upstream's own CMake build with its default flags: the CRC
#                 keeps its run-time CPU dispatch (each carry-less-multiply
#                 kernel, on 128-bit, 256-bit (AVX2) and 512-bit (AVX-512)
#                 vectors, is compiled with per-function target attributes and
#                 chosen by CPUID on the first call; the portable slice-by-8
#                 code serves processors without PCLMULQDQ), on i686 as on
#                 x86_64, and on i686 its entry points realign the stack
#                 (force_align_arg_pointer), since the engine's MSVC-built code
#                 keeps only 4-byte alignment
#   The flavours (FOLDER: the cache key's part, as the toolchain files'
#   QZ_LIB_FLAVOUR):
#     i686      (i686-clang19) the shipped DLL's: clang 19 in the Debian 13
#               root (scripts/root-run), with CodeView for the DLL's PDB (the
#               libraries' paths under the cache recorded as "qzcache")
#     x86_64    (x86_64) the x86_64 test build's: this machine's MinGW-w64 GCC 12
#     i686-gcc  (i686) the i686-gcc preset's (comparisons): GCC 12 as well
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
usage="usage: build-lib.sh boost|libdeflate i686|x86_64|i686-gcc"
die() { echo "build-lib: $*" >&2; exit 1; }
lib=${1:?$usage} flavour=${2:?$usage}
source "$here/../versions.env"
cache=${QZ_CACHE:-/var/cache/qzutilities}
run=() clang=
case "$flavour" in
  i686) target=i686 folder=i686-clang19 run=("$here/root-run")
    clang="$QZ_I686_CFLAGS -ffile-prefix-map=$cache=qzcache" ;;
  i686-gcc) target=i686 folder=i686 ;;
  x86_64) target=x86_64 folder=x86_64 ;;
  *) die "$usage" ;;
esac
case "$lib" in
  boost) version=$QZ_BOOST_VERSION recipe=$QZ_BOOST_RECIPE ;;
  libdeflate) version=$QZ_LIBDEFLATE_VERSION recipe=$QZ_LIBDEFLATE_RECIPE ;;
  *) die "$usage" ;;
esac
out=$cache/$lib-$version-$folder-r$recipe
src=$cache/boost-$version-src
if [ -f "$out/.done" ] && { [ "$lib" != boost ] || [ -f "$src/.done" ]; }; then
  echo "$lib $version for $flavour: cached in $out"
  exit 0
fi
mkdir -p "$cache"
rm -rf "$out" "$out.tmp" "$out.build"; mkdir -p "$out" "$out.tmp"

boost() {
  # The shared source tree: its .done holds the hash of the patches it was
  # made with; a tree made with others is made anew.
  local patches=$here/../patches/boost stamp p top am=32
  stamp=$(cd "$patches" && sha256sum -- *.patch | sha256sum | cut -d' ' -f1)
  if [ "$(cat "$src/.done" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$src" "$src.tmp"; mkdir -p "$src.tmp"
    "$here/apt-source.sh" "bookworm bookworm-updates" "boost${version%.*}" "$src.tmp"
    tar -C "$src.tmp" -xf "$src.tmp"/boost"${version%.*}"_*.orig.tar.*
    top=$(find "$src.tmp" -mindepth 1 -maxdepth 1 -type d | head -n1)
    # Exactly (no fuzz): a patch lands where it was made or stops the build.
    for p in "$patches"/*.patch; do
      patch -d "$top" -p1 -s -F0 --no-backup-if-mismatch <"$p" || die "patch $p does not apply to Boost $version"
    done
    ( cd "$top/tools/build/src/engine" && bison -y -d -o jamgram.cpp jamgram.y )
    ( cd "$top" && ./bootstrap.sh --with-toolset=gcc >/dev/null )
    mv "$top" "$src"; rm -rf "$src.tmp"
    echo "$stamp" >"$src/.done"
  fi
  # b2's gcc toolset drives clang as well; the b2 engine itself was built by
  # this machine's compiler, and runs in the root as it does here.
  local toolset=gcc-mingw winnt=$QZ_WINNT d defines=()
  for d in $QZ_BOOST_DEFINES; do defines+=("define=$d"); done
  [ "$target" = i686 ] || am=64
  if [ -n "$clang" ]; then
    toolset=gcc-clang19
    printf '%s\n' "using gcc : clang19 : clang++-19 --target=i686-w64-mingw32 :" \
      "  <archiver>llvm-ar-19 <ranlib>llvm-ranlib-19 <cxxflags>\"$clang\" ;" >"$out.user-config.jam"
  else
    echo "using gcc : mingw : $target-w64-mingw32-g++-posix ;" >"$out.user-config.jam"
  fi
  cd "$src"
  # (The build folder's path is in the objects' debug records: the same path
  # gives the same DLL.)
  "${run[@]}" ./b2 -q -j"$(nproc)" --user-config="$out.user-config.jam" \
    --build-dir="$out.build" --stagedir="$out" \
    toolset=$toolset target-os=windows threadapi=win32 address-model=$am \
    variant=release link=static runtime-link=static threading=multi cxxstd=17 \
    define=_WIN32_WINNT=$winnt define=BOOST_USE_WINAPI_VERSION=$winnt "${defines[@]}" \
    --with-log --with-filesystem --with-thread --with-date_time --with-atomic --with-chrono \
    stage >"$out.log" 2>&1 || { tail -n 60 "$out.log"; exit 1; }
  rm -rf "$out.build" "$out.user-config.jam"
  ln -sfn "$src" "$out/include"
}

libdeflate() {
  local suite=trixie orig got deb p tools  # Debian 13
  "$here/apt-source.sh" "$suite" libdeflate "$out.tmp" 2>"$out.tmp/fetch.log" || true
  orig=$(ls "$out.tmp"/libdeflate_*.orig.tar.* 2>/dev/null | head -n1 || true)
  [ -n "$orig" ] || { cat "$out.tmp/fetch.log" >&2; die "no libdeflate source package from Debian's $suite"; }
  got=$(basename "$orig"); got=${got#libdeflate_}; got=${got%.orig.tar.*}
  [ "$got" = "$version" ] || die "Debian's $suite has libdeflate $got, versions.env pins $version"
  mkdir -p "$out.tmp/src"
  tar -C "$out.tmp/src" --strip-components=1 -xf "$orig"
  deb=$(ls "$out.tmp"/libdeflate_"$version"-*.debian.tar.* 2>/dev/null | head -n1 || true)
  if [ -n "$deb" ]; then
    tar -C "$out.tmp/src" -xf "$deb"
    if [ -f "$out.tmp/src/debian/patches/series" ]; then
      while read -r p; do
        [ -n "$p" ] && [ "${p#\#}" = "$p" ] || continue
        patch -d "$out.tmp/src" -p1 -s <"$out.tmp/src/debian/patches/$p"
      done <"$out.tmp/src/debian/patches/series"
    fi
  else
    echo "libdeflate: the mirror has no Debian part of $version for $suite; building its upstream tarball, checked by apt" >&2
  fi
  if [ -n "$clang" ]; then
    tools=(-DCMAKE_C_COMPILER=clang-19 -DCMAKE_C_COMPILER_TARGET=i686-w64-mingw32
           -DCMAKE_AR=/usr/bin/llvm-ar-19 -DCMAKE_RANLIB=/usr/bin/llvm-ranlib-19 "-DCMAKE_C_FLAGS=-g $clang")
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
}

"$lib"
rm -rf "$out.tmp"
touch "$out/.done"
echo "$lib $version for $flavour: built into $out"
