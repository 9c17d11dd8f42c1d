#!/usr/bin/env bash
# The i686-wow64 lane: the shipped 32-bit build's tests at native speed, each
# program under Wine 10's WoW64 mode through scripts/wow64-run.
#
# Runs the same list as the VM lane (build/i686/vm-tests.txt) with the same
# runner (scripts/vm/guest-run.sh: QZ_WOW64_JOBS at once, 2 by default, each
# test within QZ_WOW64_TEST_TIMEOUT seconds, 300; the display tests on one
# Xvfb of this run; the demo host's tour) and the same report
# (scripts/vm/report.sh): every test beside its verdict in the x86_64 lane
# (QZ_WOW64_COMPARE, by default build/x86_64-wine.xml), any difference failing
# the lane, the verdicts as JUnit in QZ_WOW64_JUNIT (build/i686-wow64.xml).
# Every run is its own namespace (wow64-run), so nothing of the root is left
# mounted or running when the lane ends.
#
# QZ_WOW64_LEFT_OUT ("NAME<tab>WHY" lines, none by default) leaves tests out
# here, and the lane says so: for a failure that is a Wine version's, not the
# DLL's, while it is looked into. They still run in the x86_64 and VM lanes.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$here/lib.sh"
source "$root/scripts/vm/vm-lib.sh"  # qz_junit_lane_failure
build=${QZ_WOW64_BUILD:-$root/build/i686}
out=${QZ_WOW64_OUT:-$root/build/wow64}
compare=${QZ_WOW64_COMPARE-$root/build/x86_64-wine.xml}
compare_list=${QZ_WOW64_COMPARE_LIST:-$root/build/x86_64/vm-tests.txt}
junit=${QZ_WOW64_JUNIT:-$root/build/i686-wow64.xml}
t_start=$(date +%s)
tab=$'\t'
left_out=${QZ_WOW64_LEFT_OUT-}

die() {
  echo "wow64: $*" >&2
  echo "0% tests passed, 1 tests failed out of 1"
  qz_junit_lane_failure i686-wow64 "$*" "$junit"
  exit 1
}
rm -f "$junit"
[ -f "$build/vm-tests.txt" ] || die "no $build/vm-tests.txt: configure and build the i686 preset first"
[ -f "$build/bin/qzutilities.dll" ] && [ -f "$build/bin/qzhost.exe" ] || die "no i686 build in $build/bin"
"$root/scripts/wow64-run" cmd /c exit </dev/null >/dev/null 2>"$out.check" || die "wow64-run cannot run: $(cat "$out.check")"
rm -f "$out.check"

# The stage: the build's programs (hard links: the DLL under test is the
# build's), the list without what is left out, the runner and its scripts.
rm -rf "$out"; mkdir -p "$out/stage/src" "$out/results"
cp -al "$build/bin" "$out/stage/bin" 2>/dev/null || cp -a "$build/bin" "$out/stage/bin"
qz_without_left_out "$build/vm-tests.txt" "$left_out" >"$out/stage/tests.txt"
qz_without_left_out "$compare_list" "$left_out" >"$out/compare-list.txt" 2>/dev/null || : >"$out/compare-list.txt"
for script in $(cut -f2 "$out/stage/tests.txt" | cut -d' ' -f1 | grep '\.sh$' | sort -u); do
  mkdir -p "$out/stage/src/$(dirname "$script")"
  cp "$root/$script" "$out/stage/src/$script" || die "no $script"
done
cp "$root/scripts/vm/xvfb.sh" "$out/stage/"
cp "$root/scripts/vm/guest-wine-run" "$out/stage/wine-run"
echo "${QZ_WOW64_TEST_TIMEOUT:-300}" >"$out/stage/test-timeout"
echo "${QZ_WOW64_JOBS:-2}" >"$out/stage/jobs"

echo "wow64: sha256 $(sha256sum "$build/bin/qzutilities.dll" | cut -d' ' -f1) of the DLL under test ($build/bin/qzutilities.dll)"
echo "wow64: $(grep -c . "$out/stage/tests.txt") tests and the demo tour under $("$root/scripts/wow64-run" cmd /c ver 2>/dev/null | tr -d '\r' | grep . | head -n1)"
while IFS="$tab" read -r name why; do
  [ -n "$name" ] && echo "wow64: not run here: $name: $why"
done <<<"$left_out"

: >"$out/console.log"
(
  console=$out/console.log  # (the runner takes $out for its own)
  say() { echo "qz-guest: $*" >>"$console"; echo "  [$(( $(date +%s) - t_start ))s] $*"; }
  wine_bin=$root/scripts/wow64-run wineserver_bin=true
  export QZ_WINE=$root/scripts/wow64-run
  export QZ_FAKETIME_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
  export WINEDEBUG=${WINEDEBUG:--all}
  QZ_GUEST_ROOT=$out/stage QZ_GUEST_OUT=$out/run QZ_GUEST_RESULTS=$out/results.tar
  . "$root/scripts/vm/guest-run.sh"
) </dev/null
tar xf "$out/results.tar" -C "$out/results" 2>/dev/null || true

status=0
QZ_LANE_NAME=i686-wow64 "$root/scripts/vm/report.sh" "$out/stage/tests.txt" "$out" 0 0 \
  "$(( $(date +%s) - t_start ))" "$compare" "$out/compare-list.txt" | sed 's/^vm: /wow64: /' 
status=${PIPESTATUS[0]}
cp "$out/junit.xml" "$junit" 2>/dev/null || die "no report written"
# Nothing of the root may be left mounted (each run's mounts were its own).
if left=$(qz_mounts_under "$QZ_WOW64_CACHE/wow64-"); then
  echo "wow64: something of the root is still mounted:"; echo "$left"
  status=1
fi
exit $status
