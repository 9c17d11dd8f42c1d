#!/usr/bin/env bash
# The native lane: builds the portable text cores with clang under the
# sanitizers, runs their unit tests, then each fuzzer for QZ_FUZZ_SECONDS
# (60 by default). Ends with ctest's "N tests failed out of M" line;
# QZ_NATIVE_JUNIT: a file for ctest's JUnit report as well.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/native
CC=clang CXX=clang++ cmake -S "$root/native" -B "$build" -G Ninja \
  -DQZ_FUZZ_SECONDS="${QZ_FUZZ_SECONDS:-60}" >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "${QZ_NATIVE_JOBS:-2}" \
  ${QZ_NATIVE_JUNIT:+--output-junit "$QZ_NATIVE_JUNIT"}
