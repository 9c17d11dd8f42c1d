#!/usr/bin/env bash
# How scripts/release.sh fails, in a clone of this commit: it refuses changed
# or untracked files before building, and a failing build, zip or package
# check, or a tree changed meanwhile, leave dist/ as it was and no work files.
# cmake and zip are stand-ins (first on PATH) that play each failure.
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

# run CASE [VAR=VALUE...]: release.sh in the clone, its output in $tmp/CASE.txt.
run() {
  local name=$1; shift
  : >"$FAKE_CALLS"
  (cd "$repo" && env PATH="$tmp/fake:$PATH" FAKE_BUILD= FAKE_ZIP= "$@" bash scripts/release.sh) >"$tmp/$name.txt" 2>&1
  status=$?
}
expect() { local name=$1 what=$2; shift 2; shown=$tmp/$name.txt check "[$name] $what" "$@"; }
said() { grep -qF -- "$2" "$tmp/$1.txt"; }
# dist/ as a user left it: an earlier package that a failed run must not touch.
mkdir -p "$repo/dist"; echo "an earlier package" >"$repo/dist/qzutilities-9.8.7-win32.zip"
dist_before=$(cd "$repo/dist" && sha256sum ./* 2>/dev/null)
dist_kept() { [ "$(cd "$repo/dist" && sha256sum ./* 2>/dev/null)" = "$dist_before" ]; }
no_work_left() { ! ls -d "$repo"/build/release-pack.* >/dev/null 2>&1; }
failed_cleanly() {
  local name=$1
  expect "$name" "exit status non-zero" test "$status" != 0
  expect "$name" "dist/ unchanged" dist_kept
  expect "$name" "no work folder left" no_work_left
}

echo "local change" >>"$repo/README.md"
run modified
failed_cleanly modified
expect modified "refusal explained" said modified "refusing to package: the work tree has changes that are not committed"
expect modified "the change named" said modified "M README.md"
expect modified "nothing built" test ! -s "$FAKE_CALLS"
git -C "$repo" checkout -q README.md

touch "$repo/demo/tour_extra.cpp"
run untracked
failed_cleanly untracked
expect untracked "the untracked file named" said untracked "?? demo/tour_extra.cpp"
expect untracked "nothing built" test ! -s "$FAKE_CALLS"
rm "$repo/demo/tour_extra.cpp"

run build_fails FAKE_BUILD=fail
failed_cleanly build_fails
expect build_fails "says which step" said build_fails "the build failed"
expect build_fails "shows the build's output" said build_fails "fake compiler error"

run zip_fails FAKE_ZIP=fail
failed_cleanly zip_fails
expect zip_fails "says zip failed" said zip_fails "zip failed"
expect zip_fails "zip was reached" grep -q '^zip ' "$FAKE_CALLS"

run check_fails
failed_cleanly check_fails
expect check_fails "the package check failed" said check_fails "the package failed its checks; nothing written to dist/"
expect check_fails "names what is missing" said check_fails "the zip's files differ from the shipped list"

run litter FAKE_BUILD=litter
failed_cleanly litter
expect litter "the changed tree is named" said litter "the work tree changed during the build"
rm -f "$repo/stray-output.txt"

qz_done "release script checks"
