#!/usr/bin/env bash
# Configures and builds both Windows targets: i686 (the shipped DLL and the
# demo host beside it) and x86_64 (the same sources, run here under wine64).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in i686 x86_64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
