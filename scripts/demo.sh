#!/usr/bin/env bash
# The main job: set up, build both DLLs, and run the demo host's tour of the
# exports under wine64. Arguments go to qzhost (e.g. `scripts/demo.sh crc FILE`).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" >/dev/null
source "$root/scripts/wine-env.sh"
qz_start_wine
mkdir -p "$root/build/demo"
cd "$root/build/demo"
echo "== qzhost (x86_64 under wine64) in $PWD; the shipped DLL is $root/build/i686/bin/qzutilities.dll"
"$root/scripts/wine-run" "$root/build/x86_64/bin/qzhost.exe" "$@"
