#!/usr/bin/env bash
# Static checks of the DLL as it ships:
#   check_release.sh TOOL_PREFIX MACHINE DLL DEBUG_FILE DEF VERSION
# TOOL_PREFIX is the binutils prefix (i686-w64-mingw32-), MACHINE what objdump
# calls the architecture (i386, i386:x86-64). The DLL must be built for
# MACHINE, export exactly the .def's names and import only system DLLs
# (check_dll.sh), have DYNAMIC_BASE and NX_COMPAT set, carry no symbols and no
# .debug_* section, have a VERSIONINFO whose numbers and texts are VERSION,
# and name its debug file DEBUG_FILE:
# - a PDB (NAME.pdb, the clang build): the DLL's CodeView record names only
#   the PDB's file name, with the PDB's GUID and age, and the PDB's public
#   symbols hold every export (llvm-readobj and llvm-pdbutil, LLVM 19's or
#   this machine's);
# - else (the GCC build) the debug link names the file, with its CRC-32, and
#   the file holds the DWARF.
set -uo pipefail
prefix=$1 machine=$2 dll=$3 debug=$4 def=$5 version=$6
here=$(cd "$(dirname "$0")" && pwd)
objdump=${prefix}objdump objcopy=${prefix}objcopy windres=${prefix}windres
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fail=0 name= linked=
bad() { echo "$*"; fail=1; }

[ -f "$dll" ] || { echo "no DLL at $dll"; exit 1; }
"$here/check_dll.sh" "$objdump" "$dll" "$def" || fail=1

header=$("$objdump" -f "$dll")
arch=$(sed -n 's/^architecture: \([^,]*\),.*/\1/p' <<<"$header")
[ "$arch" = "$machine" ] || bad "machine is '$arch', not $machine"
grep -q 'HAS_SYMS' <<<"$header" && bad "the DLL still has its symbol table (not stripped)"

chars=$("$objdump" -p "$dll" | sed -n 's/^DllCharacteristics[[:space:]]*\([0-9a-fA-F]*\).*/\1/p')
[ -n "$chars" ] || bad "no DllCharacteristics in the PE header"
chars=$((16#${chars:-0}))
(( chars & 0x40 )) || bad "DYNAMIC_BASE is not set"
(( chars & 0x100 )) || bad "NX_COMPAT is not set"

sections=$("$objdump" -h "$dll" | awk '$1 ~ /^[0-9]+$/ { print $2 }')
dbg=$(grep -E '^\.(z)?debug' <<<"$sections" | tr '\n' ' ')
[ -z "$dbg" ] || bad "debug sections in the DLL: $dbg"

# VERSIONINFO, as windres reads it back out of the DLL.
IFS=. read -r major minor patch extra <<<"$version"
if [ -n "$extra" ] || ! [[ "$major.$minor.$patch" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  bad "'$version' is not MAJOR.MINOR.PATCH"
elif ! "$windres" -i "$dll" -O rc -o "$tmp/res.rc" 2>"$tmp/windres.err"; then
  bad "windres cannot read the DLL's resources: $(cat "$tmp/windres.err")"
else
  numbers="$major, $minor, $patch, 0"
  for key in FILEVERSION PRODUCTVERSION; do
    have=$(sed -n "s/^ *$key //p" "$tmp/res.rc")
    [ "$have" = "$numbers" ] || bad "VERSIONINFO $key is '$have', not $numbers"
  done
  for key in FileVersion ProductVersion; do
    have=$(sed -n "s/^ *VALUE \"$key\", \"\(.*\)\"/\1/p" "$tmp/res.rc")
    [ "$have" = "$version" ] || bad "VERSIONINFO \"$key\" is '$have', not $version"
  done
fi

source "$here/codeview.sh"
if [[ "$debug" == *.pdb ]]; then
  # The DLL's CodeView record, and the PDB's own GUID and age.
  record=$(qz_codeview "$dll")
  n_cv=$(grep -c 'Type: CodeView' <<<"$record")
  name=$(qz_field PDBFileName "$record")
  linked=$(qz_record_id "$record")
  if [ "$n_cv" != 1 ]; then
    bad "the DLL has $n_cv CodeView records in its debug directory, not 1"
  elif [ "$name" != "$(basename "$debug")" ]; then
    bad "the DLL's CodeView record names '$name', not $(basename "$debug")"
  elif [ ! -f "$debug" ]; then
    bad "no PDB at $debug"
  elif ! summary=$(qz_pdb_summary "$debug"); then
    bad "$debug is no PDB: $(tail -n1 <<<"$summary")"
  else
    own=$(qz_pdb_id "$summary")
    [ "$linked" = "$own" ] || bad "the DLL's CodeView record names $linked, the PDB is $own"
    publics=$("$(qz_llvm_tool llvm-pdbutil)" dump --publics "$debug" 2>/dev/null | sed -n 's/.*S_PUB32 \[size = [0-9]*\] `\(.*\)`$/\1/p')
    # i386 cdecl names carry a leading underscore.
    [ "$machine" = i386 ] && publics=$(sed 's/^_//' <<<"$publics")
    missing=$(sed -n '/^EXPORTS/,$p' "$def" | sed '1d; s/;.*//' | awk 'NF {print $1}' | grep -vxFf <(echo "$publics") || true)
    [ -z "$missing" ] || bad "the PDB has no symbol for the exports: $(echo $missing)"
  fi
  grep -qx '\.gnu_debuglink' <<<"$sections" && bad "a debug link (.gnu_debuglink) beside the PDB"
  what="PDB $name ($linked)"
else
  # The debug link: the file's name, zero-padded to 4 bytes, then its CRC-32.
  if ! grep -qx '\.gnu_debuglink' <<<"$sections"; then
    bad "no debug link (.gnu_debuglink) in the DLL"
  elif [ ! -f "$debug" ]; then
    bad "no debug file at $debug"
  else
    "$objcopy" --dump-section ".gnu_debuglink=$tmp/link" "$dll" "$tmp/copy" 2>/dev/null
    name=$(head -c 4096 "$tmp/link" | tr '\0' '\n' | head -n1)
    [ "$name" = "$(basename "$debug")" ] || bad "the debug link names '$name', not $(basename "$debug")"
    off=$(( (${#name} + 1 + 3) / 4 * 4 ))
    linked=$(od -An -tx1 -j "$off" -N4 "$tmp/link" | tr -d ' \n')
    # gzip ends its stream with the CRC-32 of the data, least significant byte first.
    actual=$(gzip -c <"$debug" | tail -c 8 | head -c 4 | od -An -tx1 | tr -d ' \n')
    [ "$linked" = "$actual" ] || bad "the debug link's CRC is $linked, the debug file's is $actual"
    "$objdump" -h "$debug" | grep ' \.debug_info ' >/dev/null || bad "$debug holds no .debug_info"
  fi
  what="debug link $name (CRC $linked)"
fi

[ "$fail" = 0 ] && echo "release checks passed: $machine, version $version, $what"
exit $fail
