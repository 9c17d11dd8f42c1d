#!/usr/bin/env bash
# run-package.sh [--wow64] ZIP: the release package's own tour, in the i686
# lane's VM (or, with --wow64, under Wine 10's WoW64 through scripts/wow64-run).
# Unpacks ZIP into an empty folder, checks it against its SHA256SUMS, and runs
# the lane (run-lane.sh: the same guest image, built or reused the same way)
# with nothing but the unpacked bin/ (qzutilities.dll and qzhost.exe, hard
# links to the unpacked files) and no test executables, so that the guest runs
# the unpacked qzhost.exe's tour against the unpacked DLL and nothing from a
# build tree. Reports like the lane, ending with "N tests failed out of 1".
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
lane=vm
[ "${1-}" = --wow64 ] && { lane=wow64; shift; }
die() { echo "$lane package: $*" >&2; echo "0 tests passed, 1 tests failed out of 1"; exit 1; }

[ $# = 1 ] && [ -f "$1" ] || die "usage: run-package.sh [--wow64] ZIP (a package made by scripts/release.sh)"
zip=$(realpath "$1")
out=${QZ_VM_PACKAGE_OUT:-$root/build/$lane-package}
rm -rf "$out"; mkdir -p "$out/unpacked" "$out/lane/bin"

unzip -q "$zip" -d "$out/unpacked" || die "cannot unpack $zip"
(cd "$out/unpacked" && sha256sum --quiet --check SHA256SUMS) || die "$zip does not match its SHA256SUMS"
for f in qzutilities.dll qzhost.exe; do
  [ -f "$out/unpacked/bin/$f" ] || die "$zip has no bin/$f"
done
ln "$out/unpacked/bin/"* "$out/lane/bin/" || die "cannot stage $out/lane/bin"
: >"$out/lane/vm-tests.txt"
echo "$lane package: $(basename "$zip") unpacked into $out/unpacked; bin/: $(cd "$out/unpacked/bin" && echo *)"
echo "$lane package: sha256 $(sha256sum "$out/unpacked/bin/qzutilities.dll" | cut -d' ' -f1) of the unpacked bin/qzutilities.dll"

rc=0
# No tests run here, only the tour: nothing to compare with the x86_64 lane.
if [ $lane = wow64 ]; then
  QZ_WOW64_COMPARE= QZ_WOW64_BUILD=$out/lane QZ_WOW64_OUT=$out/run QZ_WOW64_JUNIT=$out/junit.xml \
    "$here/../wow64/run-lane.sh" || rc=$?
else
  QZ_VM_COMPARE= QZ_VM_LEFT_OUT= QZ_VM_BUILD=$out/lane QZ_VM_OUT=$out/run "$here/run-lane.sh" || rc=$?
fi
if [ -f "$out/run/results/qzhost_tour.log" ]; then
  echo "---- the unpacked qzhost.exe's tour (last 40 lines of $out/run/results/qzhost_tour.log)"
  tail -n 40 "$out/run/results/qzhost_tour.log" | tr -d '\r'
  echo "----"
fi
exit $rc
