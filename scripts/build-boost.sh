#!/usr/bin/env bash
# Builds the static Boost libraries the log needs (Log and what it pulls in)
# for one MinGW-w64 target from Debian's boost1.81 source package, into a
# cache outside the clone. Reused when the stamp of this recipe matches.
#   usage: build-boost.sh i686|x86_64|i686-gcc
# (scripts/flavours.sh says which compiler builds each.)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/flavours.sh"
flavour=${1:?usage: build-boost.sh i686|x86_64|i686-gcc}
qz_flavour "$flavour" || exit 2
case "$target" in i686) am=32 ;; x86_64) am=64 ;; esac

source "$here/../versions.env"  # the version, and the recipe number to bump
BOOST_VER=$QZ_BOOST_VERSION     # when the flags or the patches change
RECIPE=$QZ_BOOST_RECIPE
WINNT=0x0601
cache=${QZ_CACHE:-/var/cache/qzutilities}
src=$cache/boost-$BOOST_VER-src
out=$cache/boost-$BOOST_VER-$folder-r$RECIPE

if [ -f "$out/.done" ] && [ -f "$src/.done" ]; then
  echo "boost $BOOST_VER for $flavour: cached in $out"
  exit 0
fi
mkdir -p "$cache"

# One shared source tree with a bootstrapped b2, and the patches of
# patches/boost applied in order (each says why). Its .done holds the hash of
# the patch files it was made with: a tree made with others is made anew. An
# empty .done marks a tree an earlier recipe patched in place: the patches
# already in it are skipped, and one that neither applies nor is in it stops.
patches=$(cd "$here/../patches/boost" && pwd)
stamp=$(cd "$patches" && sha256sum -- *.patch | sha256sum | cut -d' ' -f1)
if [ -f "$src/.done" ] && [ ! -s "$src/.done" ]; then
  "$here/apply-patches.sh" "$patches" "$src"
  echo "$stamp" >"$src/.done"
fi
if [ "$(cat "$src/.done" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "$src" "$src.tmp"; mkdir -p "$src.tmp"
  "$here/apt-source.sh" "bookworm bookworm-updates" "boost${BOOST_VER%.*}" "$src.tmp"
  tar -C "$src.tmp" -xf "$src.tmp"/boost"${BOOST_VER%.*}"_*.orig.tar.*
  top=$(find "$src.tmp" -mindepth 1 -maxdepth 1 -type d | head -n1)
  "$here/apply-patches.sh" "$patches" "$top"
  ( cd "$top/tools/build/src/engine" && bison -y -d -o jamgram.cpp jamgram.y )
  ( cd "$top" && ./bootstrap.sh --with-toolset=gcc >/dev/null )
  mv "$top" "$src"; rm -rf "$src.tmp"
  echo "$stamp" >"$src/.done"
fi

rm -rf "$out" "$out.build"; mkdir -p "$out"
# b2's gcc toolset drives clang as well; the b2 engine itself was built by
# this machine's compiler, and runs in the root as it does here.
if [ -n "$clang_debug" ]; then
  cat > "$out.user-config.jam" <<JAM
using gcc : clang19 : clang++-19 --target=i686-w64-mingw32 :
  <archiver>llvm-ar-19 <ranlib>llvm-ranlib-19 <cxxflags>"$clang_debug" ;
JAM
  toolset=gcc-clang19
else
  cat > "$out.user-config.jam" <<JAM
using gcc : mingw : $target-w64-mingw32-g++-posix ;
JAM
  toolset=gcc-mingw
fi
cd "$src"
"${run[@]}" ./b2 -q -j"$(nproc)" --user-config="$out.user-config.jam" \
  --build-dir="$out.build" --stagedir="$out" \
  toolset=$toolset target-os=windows threadapi=win32 address-model=$am \
  variant=release link=static runtime-link=static threading=multi \
  cxxstd=17 \
  define=_WIN32_WINNT=$WINNT define=BOOST_USE_WINAPI_VERSION=$WINNT \
  define=BOOST_LOG_WITHOUT_EVENT_LOG define=BOOST_LOG_WITHOUT_SYSLOG \
  define=BOOST_LOG_WITHOUT_IPC define=BOOST_LOG_WITHOUT_SETTINGS_PARSERS \
  define=BOOST_LOG_WITHOUT_DEBUG_OUTPUT \
  --with-log --with-filesystem --with-thread --with-date_time --with-atomic --with-chrono \
  stage >"$out.log" 2>&1 || { tail -n 60 "$out.log"; exit 1; }
rm -rf "$out.build" "$out.user-config.jam"
ln -sfn "$src" "$out/include"
touch "$out/.done"
echo "boost $BOOST_VER for $flavour: built into $out"
