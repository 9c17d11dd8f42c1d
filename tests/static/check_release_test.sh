#!/usr/bin/env bash
# The release checks must catch each way a shipped DLL can be wrong: made-up
# faults in copies of the built DLL and its debug file (its PDB, or the file
# of its debug link) each fail with their own message, and the DLL as built
# passes.
#   check_release_test.sh TOOL_PREFIX MACHINE DLL DEBUG_FILE DEF VERSION
set -uo pipefail
prefix=$1 machine=$2 dll=$3 debug=$4 def=$5 version=$6
here=$(cd "$(dirname "$0")" && pwd)
objcopy=${prefix}objcopy
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fails=0

# expect CASE MESSAGE DLL DEBUG DEF VERSION [MACHINE]: the checks fail on
# these and say MESSAGE (or pass, when MESSAGE is "passed").
expect() {
  local name=$1 msg=$2 d=$3 g=$4 f=$5 v=$6 m=${7:-$machine} status
  "$here/check_release.sh" "$prefix" "$m" "$d" "$g" "$f" "$v" >"$tmp/$name.txt" 2>&1
  status=$?
  if [ "$msg" = passed ]; then
    [ "$status" = 0 ] && grep -q 'release checks passed' "$tmp/$name.txt" && return
  else
    [ "$status" != 0 ] && grep -qF -- "$msg" "$tmp/$name.txt" && return
  fi
  echo "FAIL [$name] expected: $msg (status $status)"; sed 's/^/    | /' "$tmp/$name.txt"
  fails=$((fails + 1))
}
# variant NAME: a copy of the DLL and its debug file in $tmp/NAME/.
variant() { mkdir -p "$tmp/$1"; cp "$dll" "$tmp/$1/$(basename "$dll")"; cp "$debug" "$tmp/$1/$(basename "$debug")"; }
d() { echo "$tmp/$1/$(basename "$dll")"; }
g() { echo "$tmp/$1/$(basename "$debug")"; }

expect as_built passed "$dll" "$debug" "$def" "$version"

IFS=. read -r major minor patch <<<"$version"
expect other_version "FILEVERSION is '$major, $minor, $patch, 0', not $major, $minor, $((patch + 1)), 0" \
  "$dll" "$debug" "$def" "$major.$minor.$((patch + 1))"
expect bad_version "is not MAJOR.MINOR.PATCH" "$dll" "$debug" "$def" "$major.$minor"
expect other_machine "not other-machine" "$dll" "$debug" "$def" "$version" other-machine

sed 's/^EXPORTS$/EXPORTS\n    QZ_NotBuilt/' "$def" >"$tmp/more.def"
expect def_mismatch "export table differs from the .def list" "$dll" "$debug" "$tmp/more.def" "$version"

if [[ "$debug" == *.pdb ]]; then
  # The CodeView record: "RSDS", the GUID (16 bytes), the age (4), the name.
  source "$here/codeview.sh"
  record=$(qz_field PointerToRawData "$(qz_codeview "$dll")" | head -n1)
  poke() {  # poke FILE OFFSET: changes one byte of FILE
    local b; b=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
    printf "\\$(printf '%03o' $(( (b ^ 0x20) & 0xff )))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
  }
  variant other_guid; poke "$(d other_guid)" $((record + 4 + 5))
  expect other_guid "the DLL's CodeView record names {" "$(d other_guid)" "$(g other_guid)" "$def" "$version"
  variant other_name; poke "$(d other_name)" $((record + 24))
  expect other_name "the DLL's CodeView record names 'Qzutilities.pdb', not qzutilities.pdb" \
    "$(d other_name)" "$(g other_name)" "$def" "$version"
  variant renamed_pdb; mv "$(g renamed_pdb)" "$tmp/renamed_pdb/other.pdb"
  expect renamed_pdb "names '$(basename "$debug")', not other.pdb" \
    "$(d renamed_pdb)" "$tmp/renamed_pdb/other.pdb" "$def" "$version"
  variant missing_pdb; rm "$(g missing_pdb)"
  expect missing_pdb "no PDB at" "$(d missing_pdb)" "$(g missing_pdb)" "$def" "$version"
  variant not_a_pdb; head -c 4096 "$debug" >"$(g not_a_pdb)"
  expect not_a_pdb "is no PDB" "$(d not_a_pdb)" "$(g not_a_pdb)" "$def" "$version"
else
  variant changed_debug; printf x >>"$(g changed_debug)"
  expect changed_debug "the debug link's CRC is" "$(d changed_debug)" "$(g changed_debug)" "$def" "$version"

  variant renamed_debug; mv "$(g renamed_debug)" "$tmp/renamed_debug/other.debug"
  expect renamed_debug "the debug link names '$(basename "$debug")', not other.debug" \
    "$(d renamed_debug)" "$tmp/renamed_debug/other.debug" "$def" "$version"

  variant no_link; "$objcopy" --remove-section .gnu_debuglink "$(d no_link)"
  expect no_link "no debug link" "$(d no_link)" "$(g no_link)" "$def" "$version"
fi

variant debug_section; echo "left behind" >"$tmp/blob"
"$objcopy" --add-section .debug_info="$tmp/blob" "$(d debug_section)" 2>/dev/null
# (objcopy cuts the name to 8 bytes in a DLL without a string table)
expect debug_section "debug sections in the DLL: .debug_i" "$(d debug_section)" "$(g debug_section)" "$def" "$version"

variant symbols; "$objcopy" --add-symbol qz_left_behind=.text:0 "$(d symbols)"
expect symbols "not stripped" "$(d symbols)" "$(g symbols)" "$def" "$version"

# DllCharacteristics: 2 bytes at 70 into the optional header, which follows
# the 4-byte signature and the 20-byte file header at e_lfanew (offset 0x3c).
variant no_nx
pe=$(od -An -tu4 -j 60 -N4 "$(d no_nx)" | tr -d ' ')
printf '\x40\x00' | dd of="$(d no_nx)" bs=1 seek=$((pe + 24 + 70)) conv=notrunc status=none
expect no_nx "NX_COMPAT is not set" "$(d no_nx)" "$(g no_nx)" "$def" "$version"
variant no_aslr
printf '\x00\x01' | dd of="$(d no_aslr)" bs=1 seek=$((pe + 24 + 70)) conv=notrunc status=none
expect no_aslr "DYNAMIC_BASE is not set" "$(d no_aslr)" "$(g no_aslr)" "$def" "$version"

expect missing "no DLL at" "$tmp/none.dll" "$debug" "$def" "$version"

if [[ "$debug" == *.pdb ]]; then
  # The hardening check (check_hardening.sh) on the same kind of copies, and on
  # two small programs linked the wrong ways.
  harden() {  # harden CASE MESSAGE BINARY PDB: fails saying MESSAGE, or passes
    local name=$1 msg=$2 status
    "$here/check_hardening.sh" "$3" "$4" >"$tmp/$name.txt" 2>&1; status=$?
    if [ "$msg" = passed ]; then [ "$status" = 0 ] && grep -q 'NO_SEH, no W+X' "$tmp/$name.txt" && return
    else [ "$status" != 0 ] && grep -qF -- "$msg" "$tmp/$name.txt" && return; fi
    echo "FAIL [$name] expected: $msg (status $status)"; sed 's/^/    | /' "$tmp/$name.txt"
    fails=$((fails + 1))
  }
  # poke_le FILE OFFSET HEX: writes the bytes HEX ("\x00\x01") at OFFSET.
  poke_le() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
  harden hardened passed "$dll" "$debug"
  variant seh; poke_le "$(d seh)" $((pe + 24 + 70)) '\x40\x01'
  harden seh "$(basename "$dll"): NO_SEH is not set" "$(d seh)" "$(g seh)"
  variant unstamped; poke_le "$(d unstamped)" $((pe + 8)) '\x00\x00\x00\x00'
  harden unstamped "TimeDateStamp is 0" "$(d unstamped)" "$(g unstamped)"
  variant restamped; poke "$(d restamped)" $((pe + 8))
  harden restamped "its CodeView entry's 0x" "$(d restamped)" "$(g restamped)"
  # The first section (.text): Characteristics at 36 of its 40-byte header,
  # after the optional header (its size at 20 into the file header); the
  # base relocation table's size at 140 into the optional header.
  opt=$(od -An -tu2 -j $((pe + 20)) -N2 "$dll" | tr -d ' ')
  variant writable_code; poke_le "$(d writable_code)" $((pe + 24 + opt + 39)) '\xe0'
  harden writable_code "sections both writable and executable: .text" "$(d writable_code)" "$(g writable_code)"
  variant no_relocs; poke_le "$(d no_relocs)" $((pe + 24 + 140)) '\x00\x00\x00\x00'
  harden no_relocs "no base relocation table" "$(d no_relocs)" "$(g no_relocs)"
  # A program whose link line has the canary flag (clang adds libssp), and one
  # that imports an SEH handler.
  cat >"$tmp/smash.c" <<'C'
#include <string.h>
int _except_handler3(void);
int main(int argc, char** argv) {
    char b[16];
    strcpy(b, argv[0]);
#ifdef SEH
    if (argc > 5) return _except_handler3();
#endif
    return b[1];
}
C
  link() {  # link NAME FLAGS...: the program, with its PDB (canaries on the compile line alone)
    local cc=(clang-19 --target=i686-w64-mingw32 -O1 -gcodeview)
    "${cc[@]}" -fstack-protector-strong "$@" -c -o "$tmp/$name.o" "$tmp/smash.c" 2>"$tmp/$name.link" &&
      "${cc[@]}" -fuse-ld=lld -Wl,--no-seh -Xlinker -Xlink=-Brepro -Wl,--pdb= -Xlinker -Xlink=-pdbaltpath:%_PDB% \
        "$@" -o "$tmp/$name.exe" "$tmp/$name.o" 2>>"$tmp/$name.link"
  }
  name=ssp_link; if link -fstack-protector-strong; then
    harden ssp_link "libssp is linked" "$tmp/ssp_link.exe" "$tmp/ssp_link.pdb"
  else echo "FAIL [ssp_link] cannot link: $(cat "$tmp/ssp_link.link")"; fails=$((fails + 1)); fi
  name=seh_import; if link -DSEH; then
    harden seh_import "imports an SEH handler or unwinder: _except_handler3" "$tmp/seh_import.exe" "$tmp/seh_import.pdb"
  else echo "FAIL [seh_import] cannot link: $(cat "$tmp/seh_import.link")"; fails=$((fails + 1)); fi
fi

echo "release check cases: $fails failed"
[ "$fails" = 0 ]
