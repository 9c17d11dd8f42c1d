#!/usr/bin/env bash
# dist/qzutilities-<version>-win32.zip from a clean release-preset build of
# the committed tree (it refuses changes), installed by CMake and checked
# (tests/static/check_package.sh) before it is moved into dist/, so a failed
# run leaves dist/ as it was; beside it the test kit for Windows,
# qzutilities-<version>-tests-win32.zip (kit/): the same build's tests and
# runner with the release's DLL, checked to be it. The same commit gives the
# same zips byte for byte: no build path in the binaries, the entries in a
# fixed order, stamped with the commit's time, with no owner or other extra
# fields.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
t_start=$(date +%s)
say() { echo "release [$(( $(date +%s) - t_start ))s]: $*"; }
die() { echo "release: $*" >&2; exit 1; }

git rev-parse --is-inside-work-tree >/dev/null 2>&1 || die "$root is not a git work tree"
dirty() { git status --porcelain --untracked-files=all; }
if [ -n "$(dirty)" ]; then
  { echo "release: refusing to package: the work tree has changes that are not committed,"
    echo "and a package must be built from one commit. Commit or stash them (untracked files too):"
    dirty | sed 's/^/  /'; } >&2
  exit 1
fi
commit=$(git rev-parse HEAD)
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022

mkdir -p build
work=$(mktemp -d "$root/build/release-pack.XXXXXX"); trap 'rm -rf "$work"' EXIT
log=$root/build/release.log; : >"$log"
step() {
  local what=$1; shift
  "$@" >>"$log" 2>&1 || { tail -n 40 "$log" >&2; die "$what failed (all its output: $log)"; }
}

say "commit $commit ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC'))"
rm -rf build/release
in_root=("$root/scripts/root-run")  # the Debian 13 root's clang 19, lld, CMake
step "configuring the release preset" "${in_root[@]}" cmake --preset release -DQZ_RELEASE_COMMIT="$commit"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
[ -n "$version" ] || die "no project version in build/release/CMakeCache.txt"
name=qzutilities-$version-win32
say "version $version: building (build/release)"
step "the build" "${in_root[@]}" cmake --build --preset release
say "installing"
step "cmake --install" "${in_root[@]}" cmake --install build/release --prefix "$work/stage"
kit=qzutilities-$version-tests-win32
step "cmake --install (the test kit)" "${in_root[@]}" cmake --install build/release --prefix "$work/kit" --component kit
[ -z "$(dirty)" ] || { dirty >&2; die "the work tree changed during the build; nothing written to dist/"; }
find "$work/stage" "$work/kit" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
# pack DIR ZIP; -X: no owner or extended time fields; -D: no folder entries; one sorted list.
pack() { (cd "$1" && find . -type f | sed 's|^\./||' | sort | zip -X -D -9 -q "$2" -@) || die "zip failed"; }
say "packing $name.zip"
pack "$work/stage" "$work/$name.zip"

"${in_root[@]}" tests/static/check_package.sh "$work/$name.zip" "$version" "$root/build/release/exports/qzutilities.def" \
  i686-w64-mingw32- || die "the package failed its checks; nothing written to dist/"

released=$(unzip -p "$work/$name.zip" SHA256SUMS | awk '$2 == "bin/qzutilities.dll" { print $1 }')
kit_dll=$(sha256sum "$work/kit/bin/qzutilities.dll" | cut -d' ' -f1)
[ "$kit_dll" = "$released" ] || die "the kit's bin/qzutilities.dll ($kit_dll) is not the release's ($released)"
(cd "$work/kit" && sha256sum --quiet --check SHA256SUMS) || die "the kit does not match its SHA256SUMS"
say "packing $kit.zip"
pack "$work/kit" "$work/$kit.zip"

mkdir -p dist && mv -f "$work/$kit.zip" "dist/$kit.zip" && mv -f "$work/$name.zip" "dist/$name.zip"
say "dist/$name.zip, dist/$kit.zip ($(unzip -Z1 "dist/$kit.zip" | wc -l) files, $(du -k "dist/$kit.zip" | cut -f1) KiB)"
echo "  sha256 $(sha256sum "dist/$kit.zip" | cut -d' ' -f1)  dist/$kit.zip"
echo "  sha256 $(sha256sum "dist/$name.zip" | cut -d' ' -f1)  dist/$name.zip"
echo "  sha256 $released  bin/qzutilities.dll"
