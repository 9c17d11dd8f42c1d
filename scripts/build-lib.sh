#!/usr/bin/env bash
# build-lib.sh boost|libdeflate i686|x86_64|i686-gcc: a static library of the
#   DLL from Debian's source package (apt-source.sh) into $QZ_CACHE/LIB-VERSION-
#   FOLDER-rRECIPE, reused while versions.env's recipe stands: Boost.Log
#   (Debian 12's, patches/boost, one shared tree and b2) or libdeflate (Debian
#   13's, upstream's CMake and flags: its CPU dispatch kept, on i686 the stack
#   realigned at its entry points, as the engine's MSVC code keeps 4 bytes).
#   FOLDER (QZ_LIB_FLAVOUR): i686-clang19 (clang 19 in the root, CodeView, the
#   cache's paths as "qzcache"); x86_64 and i686: this machine's GCC 12.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
usage="usage: build-lib.sh boost|libdeflate i686|x86_64|i686-gcc"
die() { echo "build-lib: $*" >&2; exit 1; }
lib=${1:?$usage} flavour=${2:?$usage}
source "$here/../versions.env"
cache=${QZ_CACHE:-/var/cache/qzutilities}
run=() clang= toolchain=$here/../cmake/toolchain
case "$flavour" in
  i686) target=i686 folder=i686-clang19 run=("$here/root-run") toolchain+=-i686-w64-mingw32.cmake
    clang="$QZ_I686_CFLAGS -ffile-prefix-map=$cache=qzcache" ;;
  i686-gcc) target=i686 folder=i686 toolchain+=-i686-w64-mingw32-gcc.cmake ;;
  x86_64) target=x86_64 folder=x86_64 toolchain+=-x86_64-w64-mingw32.cmake ;;
  *) die "$usage" ;;
esac
case "$lib" in
  boost) version=$QZ_BOOST_VERSION recipe=$QZ_BOOST_RECIPE ;;
  libdeflate) version=$QZ_LIBDEFLATE_VERSION recipe=$QZ_LIBDEFLATE_RECIPE ;;
  *) die "$usage" ;;
esac
out=$cache/$lib-$version-$folder-r$recipe
src=$cache/boost-$version-src
if [ -f "$out/.done" ] && { [ "$lib" != boost ] || [ -f "$src/.done" ]; }; then echo "$lib $version for $flavour: cached in $out"; exit 0; fi
mkdir -p "$cache"; rm -rf "$out" "$out.tmp" "$out.build"; mkdir -p "$out" "$out.tmp"

boost() {
  # (The shared tree's .done: the hash of its patches; others make it anew.)
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
  # b2's gcc toolset drives clang too; the b2 built here runs in the root.
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
  # (The build folder's path is in the debug records: keep it for the same DLL.)
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
  local suite=trixie orig got deb  # Debian 13
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
    (cd "$out.tmp/src" && if [ -f debian/patches/series ]; then
      grep -v '^#' debian/patches/series | xargs -r -n1 sh -c 'patch -p1 -s <"debian/patches/$0"'; fi)
  else
    echo "libdeflate: the mirror has no Debian part of $version for $suite; building its upstream tarball, checked by apt" >&2
  fi
  "${run[@]}" cmake -S "$out.tmp/src" -B "$out.tmp/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" ${clang:+"-DCMAKE_C_FLAGS=-g $clang"} \
    -DLIBDEFLATE_BUILD_SHARED_LIB=OFF -DLIBDEFLATE_BUILD_GZIP=OFF -DLIBDEFLATE_BUILD_TESTS=OFF \
    >"$out.log" 2>&1 && "${run[@]}" cmake --build "$out.tmp/build" >>"$out.log" 2>&1 ||
    { tail -n 40 "$out.log"; exit 1; }
  mkdir -p "$out/include" "$out/lib"; cp "$out.tmp/src/libdeflate.h" "$out/include/"
  cp "$out.tmp/build/libdeflate.a" "$out/lib/libdeflate.a"; cp "$out.tmp/src/COPYING" "$out/COPYING"
}

"$lib"; rm -rf "$out.tmp"; touch "$out/.done"
echo "$lib $version for $flavour: built into $out"
