#!/usr/bin/env bash
# Every test: set up, build both targets, run the static checks of the i686
# DLL, the behaviour tests of the x86_64 build under wine64, the native lane,
# and the i686 build's tests under Wine 10's WoW64 and in the VM. Each lane
# leaves its verdicts as a JUnit report (build/LANE.xml; ctest's own, or the VM lane's in the same
# shape), and the closing totals are summed from those reports.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh || exit 1
scripts/build.sh || exit 1

source scripts/wine-env.sh
qz_start_wine
qz_start_xvfb || exit 1
trap qz_stop_xvfb EXIT

# junit_counts FILE: "PASSED FAILED" of a JUnit report, one test case per test;
# a case passed when its status is "run" (failed, not run or timed out otherwise).
junit_counts() {
  grep -ao '<testcase [^>]*>' "$1" |
    awk '/ status="run"/ { p++; next } { f++ } END { print p + 0, f + 0 }'
}

total_pass=0 total_fail=0 lanes_failed=0
# run_lane NAME COMMAND...: runs one lane, which writes its JUnit report to
# build/NAME.xml, and adds up that report's counts.
run_lane() {
  local name=$1; shift
  local log=$root/build/$name.log junit=$root/build/$name.xml
  echo "==== $name"
  rm -f "$junit"
  "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]} pass=0 fail=0
  if [ -s "$junit" ]; then
    read -r pass fail < <(junit_counts "$junit")
    total_pass=$((total_pass + pass)); total_fail=$((total_fail + fail))
  fi
  if [ "$rc" != 0 ] || [ ! -s "$junit" ] || [ $((pass + fail)) = 0 ]; then
    lanes_failed=$((lanes_failed + 1))
    echo "lane $name FAILED${rc:+ (status $rc)}$([ -s "$junit" ] || echo ", no report $junit")"
  fi
}

run_lane i686-static ctest --preset i686 --output-junit "$root/build/i686-static.xml"
run_lane x86_64-wine ctest --preset x86_64 --output-junit "$root/build/x86_64-wine.xml"
# -- native lane: portable cores under the sanitizers, then the fuzzers
QZ_NATIVE_JUNIT=$root/build/native.xml run_lane native native/run.sh
# -- i686 lanes: the shipped build's tests at native speed under Wine 10's
#    WoW64, then in a VM with 32-bit Wine, each beside its verdict in the
#    x86_64 lane
QZ_WOW64_JUNIT=$root/build/i686-wow64.xml QZ_WOW64_COMPARE=$root/build/x86_64-wine.xml \
  run_lane i686-wow64 scripts/wow64/run-lane.sh
QZ_VM_JUNIT=$root/build/i686-vm.xml QZ_VM_COMPARE=$root/build/x86_64-wine.xml \
  run_lane i686-vm scripts/vm/run-lane.sh

echo
echo "lanes failed: $lanes_failed"
echo "tests: $total_pass passed, $total_fail failed"
[ "$lanes_failed" = 0 ] && [ "$total_fail" = 0 ] && [ "$total_pass" -gt 0 ]
