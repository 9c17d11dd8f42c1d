#!/usr/bin/env bash
# Every test: setup, both builds, each lane's test preset, each i686 verdict
# beside its x86_64 one (compare-lanes.py), totals from build/LANE.xml.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" && source scripts/steps.sh
scripts/setup.sh && scripts/build.sh || exit 1
source scripts/wine-env.sh; qz_start_wine
# Each Wine lane's own X server; one that does not come up fails the lane.
x=(xvfb-run -a -e "$root/build/xvfb.log" -s "$QZ_XVFB_ARGS")
rm -rf "$root/build/lanes"; mkdir -p "$root/build/lanes"

# junit_counts FILE: "PASSED FAILED" of a JUnit report (passed: status "run").
junit_counts() { grep -ao '<testcase [^>]*>' "$1" | awk '/ status="run"/ { p++; next } { f++ } END { print p + 0, f + 0 }'; }
# run_lane NAME COMMAND...: one lane, its report build/NAME.xml (lane-failed.sh
# writes one for a lane that did not), output build/NAME.log, status
# build/lanes/NAME.status (which the totals read).
run_lane() {
  local name=$1 log=$root/build/$1.log junit=$root/build/$1.xml; shift
  echo "==== $name"; rm -f "$junit"
  "$@" 2>&1 | tee "$log"
  echo "${PIPESTATUS[0]}" >"$root/build/lanes/$name.status"
  [ -s "$junit" ] || scripts/lane-failed.sh "$name" "$(grep -a . "$log" | tail -n1)" "$junit"
}

run_lane i686-static ctest --preset static --output-junit "$root/build/i686-static.xml"
run_lane x86_64-wine "${x[@]}" ctest --preset x86_64 --output-junit "$root/build/x86_64-wine.xml"
# The i686 lanes: WoW64 (skipped, saying why, where this kernel runs no 32-bit
# code in a 64-bit process), then the VM with 32-bit Wine 8.
lanes=(vm)
if why=$(source scripts/wow64/lib.sh && qz_runs_32bit); then
  lanes=(wow64 vm)
  echo "wow64: sha256 $(sha256sum build/i686/bin/qzutilities.dll | cut -d' ' -f1) of the DLL under test"
  run_lane i686-wow64 "${x[@]}" ctest --preset wow64 --output-junit "$root/build/i686-wow64.xml"
else
  rm -f build/i686-wow64.xml
  echo "==== i686-wow64"; echo "lane i686-wow64 skipped: this kernel cannot run 32-bit code in a 64-bit process ($why)"
fi
# The native lane (sanitizers, fuzzers for a fixed time) runs beside the VM
# lane, whose tests have room in their limits; its output comes after.
QZ_NATIVE_JUNIT=$root/build/native.xml run_lane native native/run.sh >"$root/build/native.out" 2>&1 &
native=$!; run_lane i686-vm scripts/vm/run-lane.sh
wait "$native"; cat build/native.out
# A lane failed when its command did or its report holds no test.
total_pass=0 total_fail=0 lanes_failed=0
for status in build/lanes/*.status; do
  name=$(basename "$status" .status)
  read -r pass fail < <(junit_counts "build/$name.xml")
  total_pass=$((total_pass + pass)) total_fail=$((total_fail + fail))
  rc=$(cat "$status")
  [ "$rc" = 0 ] && [ $((pass + fail)) != 0 ] || { lanes_failed=$((lanes_failed + 1)); echo "lane $name FAILED (status $rc)"; }
done
for lane in "${lanes[@]}"; do
  scripts/compare-lanes.py $lane build/x86_64-wine.xml build/i686-$lane.xml || lanes_failed=$((lanes_failed + 1))
done
echo; echo "took $(qz_took "$SECONDS") in all"
echo "lanes failed: $lanes_failed$([ ${#lanes[@]} = 2 ] || echo "; skipped: i686-wow64 (no 32-bit code on this kernel)")"
echo "tests: $total_pass passed, $total_fail failed"
[ "$lanes_failed" = 0 ] && [ "$total_fail" = 0 ] && [ "$total_pass" -gt 0 ]
