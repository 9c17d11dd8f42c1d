#!/usr/bin/env bash
# Every test: set up, build both targets, run the static checks of the i686
# DLL and the behaviour tests of the x86_64 build under wine64.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh || exit 1
scripts/build.sh || exit 1

source scripts/wine-env.sh
qz_start_wine
qz_start_xvfb || exit 1
trap qz_stop_xvfb EXIT

total_pass=0 total_fail=0 lanes_failed=0
# run_lane NAME COMMAND...: runs one lane and adds up its ctest counts.
run_lane() {
  local name=$1; shift
  local log=$root/build/$name.log
  echo "==== $name"
  "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E '[0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  if [ -n "$line" ]; then
    local failed total
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    total_pass=$((total_pass + total - failed)); total_fail=$((total_fail + failed))
  fi
  if [ "$rc" != 0 ] || [ -z "$line" ]; then lanes_failed=$((lanes_failed + 1)); echo "lane $name FAILED"; fi
}

run_lane i686-static ctest --preset i686
run_lane x86_64-wine ctest --preset x86_64
# -- native lane: portable cores under the sanitizers, then the fuzzers
run_lane native native/run.sh
# -- i686 lane: the shipped build's tests in a VM with 32-bit Wine
run_lane i686-vm scripts/vm/run-lane.sh

echo
echo "lanes failed: $lanes_failed"
echo "tests: $total_pass passed, $total_fail failed"
[ "$lanes_failed" = 0 ] && [ "$total_fail" = 0 ] && [ "$total_pass" -gt 0 ]
