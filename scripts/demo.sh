#!/usr/bin/env bash
# The main job: set up, build both DLLs, and run the demo host's tour of the
# exports with the DLL that ships: build/i686/bin/qzhost.exe and
# qzutilities.dll, 32-bit, under Wine 10's WoW64 (scripts/wow64-run).
# Arguments go to qzhost (e.g. `scripts/demo.sh crc FILE`); a first argument
# --x86_64 runs the 64-bit build under the host's wine64 instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" >/dev/null
mkdir -p "$root/build/demo"
cd "$root/build/demo"
if [ "${1-}" = --x86_64 ]; then
  shift
  source "$root/scripts/wine-env.sh"
  qz_start_wine
  echo "== qzhost (x86_64 under wine64) in $PWD; the shipped DLL is $root/build/i686/bin/qzutilities.dll"
  exec "$root/scripts/wine-run" "$root/build/x86_64/bin/qzhost.exe" "$@"
fi
echo "== qzhost with the shipped DLL ($root/build/i686/bin/qzutilities.dll, 32-bit, under Wine 10's WoW64) in $PWD"
exec "$root/scripts/wow64-run" "$root/build/i686/bin/qzhost.exe" "$@"
