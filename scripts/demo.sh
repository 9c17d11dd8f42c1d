#!/usr/bin/env bash
# The main job: set up what the demo needs, build the shipped DLL and the
# demo host, and run the demo host's tour of the exports with the DLL that
# ships: build/i686/bin/qzhost.exe and qzutilities.dll, 32-bit, under Wine
# 10's WoW64 (scripts/wow64-run). Setup and build print a line a step, with
# its time; their whole output is in build/logs/.
# Arguments go to qzhost (e.g. `scripts/demo.sh crc FILE`); a first argument
# --x86_64 runs the 64-bit build under the host's wine64 instead (it sets up
# and builds that one too). So does a kernel that cannot run 32-bit code in a
# 64-bit process, as WoW64 needs (some hypervisors offer none): the demo says
# so and tours the x86_64 build (the tests run the shipped DLL in the VM).
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
  shift
  "$root/scripts/setup.sh"
  "$root/scripts/build.sh"
  cd "$root/build/demo"
  source "$root/scripts/wine-env.sh"
  qz_start_wine
  echo "== qzhost (x86_64 under wine64) in $PWD; the shipped DLL is $root/build/i686/bin/qzutilities.dll"
  exec "$root/scripts/wine-run" "$root/build/x86_64/bin/qzhost.exe" "$@"
fi
"$root/scripts/build.sh" --demo
cd "$root/build/demo"
echo "== qzhost with the shipped DLL ($root/build/i686/bin/qzutilities.dll, 32-bit, under Wine 10's WoW64) in $PWD"
exec "$root/scripts/wow64-run" "$root/build/i686/bin/qzhost.exe" "$@"
