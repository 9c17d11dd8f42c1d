#!/usr/bin/env bash
# lane-failed.sh LANE WHY JUNIT: for a lane that could not run, ctest's JUnit
# report of one failed test, LANE_lane, whose output says WHY.
set -u
dir=$(mktemp -d) || exit 1; trap 'rm -rf "$dir"' EXIT
printf 'add_test([=[%s_lane]=] /bin/sh -c [=[echo "$QZ_LANE_WHY" >&2; exit 1]=])\n' "${1//-/_}" >"$dir/CTestTestfile.cmake"
QZ_LANE_WHY=$2 ctest --test-dir "$dir" --output-junit "$3" >/dev/null 2>&1
[ -s "$3" ]
