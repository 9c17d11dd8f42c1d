#!/usr/bin/env bash
# Sets up, builds and runs the demo host's tour with the shipped DLL under
# WoW64; arguments go to qzhost (`demo.sh crc FILE`). --x86_64 (or a kernel
# without 32-bit code in a 64-bit process, said so) tours the x86_64 build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1-}" != --x86_64 ]; then
  "$root/scripts/setup.sh" --demo
  if ! why=$(source "$root/scripts/wow64/lib.sh" && qz_runs_32bit); then
    echo "== this kernel cannot run 32-bit code in a 64-bit process ($why), so the shipped 32-bit DLL" \
      "cannot run here but in the tests' VM lane (scripts/test.sh): the tour is the x86_64 build's"
    set -- --x86_64 "$@"
  fi
fi
mkdir -p "$root/build/demo"
if [ "${1-}" = --x86_64 ]; then
  shift; "$root/scripts/setup.sh"; "$root/scripts/build.sh"
  cd "$root/build/demo"; source "$root/scripts/wine-env.sh"; qz_start_wine
  echo "== qzhost (x86_64 under wine64) in $PWD; the shipped DLL is $root/build/i686/bin/qzutilities.dll"
  exec "$root/scripts/wine-run" "$root/build/x86_64/bin/qzhost.exe" "$@"
fi
"$root/scripts/build.sh" --demo
cd "$root/build/demo"
echo "== qzhost with the shipped DLL ($root/build/i686/bin/qzutilities.dll, 32-bit, under Wine 10's WoW64) in $PWD"
exec "$root/scripts/wow64-run" "$root/build/i686/bin/qzhost.exe" "$@"
