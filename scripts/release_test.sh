#!/usr/bin/env bash
# How scripts/release.sh fails, in a clone of this commit, with stand-ins for
# cmake and zip (first on PATH) that play each failure.
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/test-lib.sh"
repo=$tmp/repo
git clone -q "$root" "$repo" && git -C "$repo" checkout -q --detach "$(git -C "$root" rev-parse HEAD)" ||
  { echo "cannot clone $root"; exit 1; }

mkdir -p "$tmp/fake"
cat >"$tmp/fake/cmake" <<'F'
#!/bin/sh
# Stand-in cmake: configure writes the cache entries release.sh reads; build
# does what $FAKE_BUILD says.
echo "cmake $*" >>"$FAKE_CALLS"
case "$1" in
  --preset)
    mkdir -p build/release
    printf 'CMAKE_PROJECT_VERSION:STATIC=9.8.7\nCMAKE_OBJCOPY:FILEPATH=/usr/bin/i686-w64-mingw32-objcopy\n' \
      >build/release/CMakeCache.txt ;;
  --build)
    case "$FAKE_BUILD" in
      fail) echo "fake compiler error"; exit 1 ;;
      litter) echo generated >stray-output.txt ;;
    esac ;;
  --install)
    stage=$4
    mkdir -p "$stage/bin" "$stage/lib"
    echo "not a DLL" >"$stage/bin/qzutilities.dll"
    echo "half" >"$stage/lib/qzutilities.lib" ;;
esac
exit 0
F
cat >"$tmp/fake/zip" <<'F'
#!/bin/sh
# Stand-in zip: fails as a full disk would, part written, or runs the real one.
echo "zip $*" >>"$FAKE_CALLS"
for a; do out=$a; case "$a" in *.zip) break ;; esac; done
if [ "$FAKE_ZIP" = fail ]; then printf 'PK\003\004partial' >"$out"; echo "zip I/O error: No space left on device" >&2; exit 15; fi
exec /usr/bin/zip "$@"
F
chmod +x "$tmp/fake/cmake" "$tmp/fake/zip"
export FAKE_CALLS=$tmp/calls

# dist/ as a user left it: an earlier package that a failed run must not touch.
mkdir -p "$repo/dist"; echo "an earlier package" >"$repo/dist/qzutilities-9.8.7-win32.zip"
dist() { (cd "$repo/dist" && sha256sum ./* 2>/dev/null); }
dist_before=$(dist)
expect() { shown=$tmp/$name.txt check "[$name] $1" "${@:2}"; }
# run CASE [VAR=VALUE...]: release.sh in the clone, its output in $tmp/CASE.txt;
# it fails, leaving dist/ as it was and no work folder.
run() {
  name=$1; shift; : >"$FAKE_CALLS"
  (cd "$repo" && env PATH="$tmp/fake:$PATH" FAKE_BUILD= FAKE_ZIP= "$@" bash scripts/release.sh) >"$tmp/$name.txt" 2>&1
  expect "exit status non-zero" test $? != 0
  expect "dist/ unchanged" test "$(dist)" = "$dist_before"
  expect "no work folder left" bash -c "! ls -d '$repo'/build/release-pack.* >/dev/null 2>&1"
}
says() { local text; for text; do expect "says '$text'" grep -qF -- "$text" "$tmp/$name.txt"; done; }  # says TEXT...

echo "local change" >>"$repo/README.md"
run modified
says "refusing to package: the work tree has changes that are not committed" "M README.md"
expect "nothing built" test ! -s "$FAKE_CALLS"
git -C "$repo" checkout -q README.md

touch "$repo/demo/tour_extra.cpp"
run untracked
says "?? demo/tour_extra.cpp"
expect "nothing built" test ! -s "$FAKE_CALLS"
rm "$repo/demo/tour_extra.cpp"

run build_fails FAKE_BUILD=fail
says "the build failed" "fake compiler error"

run zip_fails FAKE_ZIP=fail
says "zip failed"
expect "zip was reached" grep -q '^zip ' "$FAKE_CALLS"

run check_fails
says "the package failed its checks; nothing written to dist/" "the zip's files differ from the shipped list"

run litter FAKE_BUILD=litter
says "the work tree changed during the build"
rm -f "$repo/stray-output.txt"

qz_done "release script checks"
