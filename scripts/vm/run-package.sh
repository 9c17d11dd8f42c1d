#!/usr/bin/env bash
# run-package.sh ZIP: the package as a game's author meets it: unpacked into
# an empty folder, checked against its SHA256SUMS, and its qzhost.exe's tour
# against its DLL under WoW64 (tests/tour_test.sh), nothing from a build tree.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
die() { echo "package: $*" >&2; exit 1; }
[ $# = 1 ] && [ -f "$1" ] || die "usage: run-package.sh ZIP (a package made by scripts/release.sh)"
out=${QZ_PACKAGE_OUT:-$root/build/package-run}
rm -rf "$out"; mkdir -p "$out"
unzip -q "$1" -d "$out" || die "cannot unpack $1"
(cd "$out" && sha256sum --quiet --check SHA256SUMS) || die "$1 does not match its SHA256SUMS"
[ -f "$out/bin/qzutilities.dll" ] && [ -f "$out/bin/qzhost.exe" ] || die "$1 has no bin/qzutilities.dll and bin/qzhost.exe"
echo "package: sha256 $(sha256sum "$out/bin/qzutilities.dll" | cut -d' ' -f1) of the unpacked bin/qzutilities.dll"
why=$(source "$root/scripts/wow64/lib.sh" && qz_runs_32bit) ||
  { echo "package: tour skipped: this kernel cannot run 32-bit code in a 64-bit process ($why)"; exit 77; }
QZ_WINE=$root/scripts/wow64-run "$root/tests/tour_test.sh" "$root/scripts/wine-run" "$out/bin/qzhost.exe"
