#!/usr/bin/env bash
# build.sh [--demo]: configures and builds i686 (clang 19 in the Debian 13
# root) and x86_64 (this machine's MinGW-w64 GCC 12), a line each, logs in
# build/logs/; --demo: the i686 DLL and the demo host alone.
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
