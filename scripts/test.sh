#!/usr/bin/env bash
# Every test: set up, build both targets, then each lane as a ctest run with
# its test preset: the static checks of the shipped i686 DLL, the x86_64
# build under wine64, the native lane, and the i686 build under Wine 10's
# WoW64 and in the VM (whose guest runs ctest itself), each i686 verdict
# beside its x86_64 one (scripts/compare-lanes.py). Each lane leaves ctest's
# JUnit report in build/LANE.xml; the closing totals are summed from those,
# after the time the whole run took.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/steps.sh
scripts/setup.sh || exit 1
scripts/build.sh || exit 1

source scripts/wine-env.sh
qz_start_wine
# Each Wine lane runs under an X server of its own, for the display tests; a
# server that does not come up fails its lane, saying why (its messages in
# build/xvfb.log).
x=(xvfb-run -a -e "$root/build/xvfb.log" -s "$QZ_XVFB_ARGS")
rm -rf "$root/build/lanes"; mkdir -p "$root/build/lanes"

# junit_counts FILE: "PASSED FAILED" of a JUnit report, one test case per test;
# a case passed when its status is "run" (failed, not run or timed out otherwise).
junit_counts() {
  grep -ao '<testcase [^>]*>' "$1" |
    awk '/ status="run"/ { p++; next } { f++ } END { print p + 0, f + 0 }'
}

# run_lane NAME COMMAND...: runs one lane, which writes its JUnit report to
# build/NAME.xml (a lane that writes none gets one from lane-failed.sh); its
# output also goes to build/NAME.log, its status to build/lanes/NAME.status
# (the lanes of this run: the totals below read them).
run_lane() {
  local name=$1; shift
  local log=$root/build/$name.log junit=$root/build/$name.xml
  echo "==== $name"
  rm -f "$junit"
  "$@" 2>&1 | tee "$log"
  echo "${PIPESTATUS[0]}" >"$root/build/lanes/$name.status"
  [ -s "$junit" ] || scripts/lane-failed.sh "$name" "$(grep -a . "$log" | tail -n1)" "$junit"
}

run_lane i686-static ctest --preset static --output-junit "$root/build/i686-static.xml"
run_lane x86_64-wine "${x[@]}" ctest --preset x86_64 --output-junit "$root/build/x86_64-wine.xml"
# -- i686 lanes: the shipped build's tests at native speed under Wine 10's
#    WoW64, then in a VM with 32-bit Wine 8, each beside the x86_64 lane
#    Where this kernel cannot run 32-bit code in a 64-bit process (some
#    hypervisors offer none), WoW64 cannot run the i686 build: that lane is
#    skipped, saying why, and the VM, which emulates a whole machine, runs
#    the i686 tests alone.
lanes=(vm)
if why=$(source scripts/wow64/lib.sh && qz_runs_32bit); then
  lanes=(wow64 vm)
  echo "wow64: sha256 $(sha256sum build/i686/bin/qzutilities.dll | cut -d' ' -f1) of the DLL under test"
  run_lane i686-wow64 "${x[@]}" ctest --preset wow64 --output-junit "$root/build/i686-wow64.xml"
else
  rm -f build/i686-wow64.xml
  echo "==== i686-wow64"; echo "lane i686-wow64 skipped: this kernel cannot run 32-bit code in a 64-bit process ($why)"
fi
# -- native lane: portable cores under the sanitizers, then the fuzzers. It
#    runs beside the VM lane (its fuzzers run for a fixed time, and the
#    guest's tests have room in their limits); its output comes after.
QZ_NATIVE_JUNIT=$root/build/native.xml run_lane native native/run.sh >"$root/build/native.out" 2>&1 &
native=$!
run_lane i686-vm scripts/vm/run-lane.sh
wait "$native"; cat build/native.out
# The totals, from the report of each lane that ran; a lane failed when its
# command did or its report holds no test.
total_pass=0 total_fail=0 lanes_failed=0
for status in build/lanes/*.status; do
  name=$(basename "$status" .status)
  read -r pass fail < <(junit_counts "build/$name.xml")
  total_pass=$((total_pass + pass)) total_fail=$((total_fail + fail))
  rc=$(cat "$status")
  if [ "$rc" != 0 ] || [ $((pass + fail)) = 0 ]; then
    lanes_failed=$((lanes_failed + 1)); echo "lane $name FAILED (status $rc)"
  fi
done
for lane in "${lanes[@]}"; do
  scripts/compare-lanes.py $lane build/x86_64-wine.xml build/i686-$lane.xml || lanes_failed=$((lanes_failed + 1))
done

echo
echo "took $(qz_took "$SECONDS") in all"
echo "lanes failed: $lanes_failed$([ ${#lanes[@]} = 2 ] || echo "; skipped: i686-wow64 (no 32-bit code on this kernel)")"
echo "tests: $total_pass passed, $total_fail failed"
[ "$lanes_failed" = 0 ] && [ "$total_fail" = 0 ] && [ "$total_pass" -gt 0 ]
