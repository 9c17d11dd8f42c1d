#!/usr/bin/env bash
# Checks a release zip as a game team gets it:
#   check_package.sh ZIP VERSION DEF TOOL_PREFIX
# It holds exactly the shipped files, all under one time stamp; SHA256SUMS
# lists every other file with its true hash; README.txt names the version and
# every export of the .def; and the DLL passes the release checks
# (check_release.sh) with the PDB from the zip, and so does the demo host's
# CodeView record with its own.
set -uo pipefail
zip=$(realpath "$1") version=$2 def=$(realpath "$3") prefix=$4
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fail=0
bad() { echo "package: $*"; fail=1; }

[ -f "$zip" ] || { echo "package: no $zip"; exit 1; }
want="CHANGELOG.md
README.txt
SHA256SUMS
bin/qzhost.exe
bin/qzutilities.dll
debug/qzhost.pdb
debug/qzutilities.pdb
include/qzutilities.h
lib/libqzutilities.dll.a
lib/qzutilities.def
lib/qzutilities.lib"
have=$(unzip -Z1 "$zip" | LC_ALL=C sort)
if [ "$have" != "$want" ]; then
  bad "the zip's files differ from the shipped list:"; diff <(echo "$want") <(echo "$have")
fi
stamps=$(unzip -Z -T "$zip" | awk '$1 ~ /^[-d]/ { print $7 }' | sort -u)
[ "$(grep -c . <<<"$stamps")" = 1 ] || bad "the entries have more than one time stamp: $(echo $stamps)"

unzip -q "$zip" -d "$tmp/pkg" || { bad "cannot unpack $zip"; exit 1; }
cd "$tmp/pkg"
listed=$(awk '{ print $2 }' SHA256SUMS 2>/dev/null | LC_ALL=C sort)
[ "$listed" = "$(grep -vx SHA256SUMS <<<"$want")" ] || bad "SHA256SUMS does not list exactly the other files: $(echo $listed)"
[ -f SHA256SUMS ] && sha256sum --quiet --check SHA256SUMS || bad "SHA256SUMS does not match the files"

if [ -f README.txt ]; then
  grep -q "QZUtilities $version " README.txt || bad "README.txt does not name version $version"
  for n in $(sed -n '/^EXPORTS/,$p' "$def" | sed '1d; s/;.*//' | awk 'NF {print $1}'); do
    grep -q "^$n[( ]" README.txt || bad "README.txt does not describe the export $n"
  done
fi

case "$prefix" in *x86_64*) machine=i386:x86-64 ;; *) machine=i386 ;; esac
"$here/check_release.sh" "$prefix" "$machine" bin/qzutilities.dll debug/qzutilities.pdb "$def" "$version" ||
  fail=1
# qzhost.exe names its own PDB, with its GUID and age.
source "$here/codeview.sh"
record=$(qz_codeview bin/qzhost.exe) summary=$(qz_pdb_summary debug/qzhost.pdb)
host_record="$(qz_field PDBFileName "$record") $(qz_record_id "$record")"
host_pdb="qzhost.pdb $(qz_pdb_id "$summary")"
[ "$host_record" = "$host_pdb" ] ||
  bad "bin/qzhost.exe's CodeView record ($host_record) is not debug/qzhost.pdb's (${host_pdb:-no PDB})"

# Both binaries carry the hardening every Windows binary is expected to have.
"$here/check_hardening.sh" bin/qzutilities.dll debug/qzutilities.pdb bin/qzhost.exe debug/qzhost.pdb || fail=1

[ "$fail" = 0 ] && echo "package checks passed: $(basename "$zip"), $(grep -c . <<<"$have") files"
exit $fail
