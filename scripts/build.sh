#!/usr/bin/env bash
# Configures and builds both Windows targets, a line each (the whole output
# in build/logs/):
#   i686    the shipped DLL, the demo host and their tests: clang 19 and lld
#           in the Debian 13 root (scripts/root-run)
#   x86_64  the same sources by this machine's MinGW-w64 GCC 12, run here
#           under wine64
#   usage: build.sh [--demo]   --demo: the i686 DLL and demo host alone
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/steps.sh
targets=() what=
[ "${1:-}" != --demo ] || targets=(--target qzutilities qzhost) what=" and the demo host"
i686() { scripts/root-run cmake --preset i686 && scripts/root-run cmake --build --preset i686 "${targets[@]}"; }
x86_64() { cmake --preset x86_64 && cmake --build --preset x86_64; }
qz_step "build i686 (clang 19, the shipped DLL$what)" "$root/build/logs/build-i686.log" i686
[ "${1:-}" = --demo ] || qz_step "build x86_64 (GCC 12, for wine64)" "$root/build/logs/build-x86_64.log" x86_64
