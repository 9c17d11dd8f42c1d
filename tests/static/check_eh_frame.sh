#!/usr/bin/env bash
# Static check of the unwind records (.eh_frame) of the clang-built DLL. An
# exception is caught only if the unwinder finds a record for every frame it
# passes; a function without one ends the process in std::terminate, whatever
# catches further up. So:
#   - every record lies inside .text (records at 0 are the linker's leftovers
#     of duplicate inline copies it dropped: counted, and skipped by the
#     unwinder, which ignores records at 0);
#   - every function the PDB knows in .text (ours, Boost's, libdeflate's, and
#     the C++ runtime's, by their public symbols) has a record, but for the
#     hand-written assembly and import thunks, which never throw (listed by
#     pattern below);
#   - the runtime's functions exceptions leave through most often are named
#     and must be among them.
#   usage: check_eh_frame.sh OBJDUMP DLL PDB
set -euo pipefail
objdump=$1 dll=$2 pdb=$3
source "$(dirname "$0")/codeview.sh"
read -r text_size text_vma < <("$objdump" -h "$dll" | awk '$2 == ".text" && !v { v = $3 " " $4 } END { print v }')
[ -n "${text_vma:-}" ] || { echo "no .text section in $dll"; exit 1; }
base=$("$objdump" -p "$dll" | awk '$1 == "ImageBase" && !b { b = $2 } END { print b }')
text_start=$((16#$text_vma)) text_end=$((16#$text_vma + 16#$text_size))
rva_start=$((text_start - 16#$base))

# "START END" of every record, as addresses.
fdes=$("$(qz_llvm_tool llvm-dwarfdump)" --eh-frame "$dll" |
  sed -n 's/.* FDE cie=[0-9a-f]* pc=\([0-9a-f]*\)\.\.\.\([0-9a-f]*\).*/\1 \2/p')
total=$(grep -c . <<<"$fdes" || true)
[ "$total" -gt 0 ] || { echo "no unwind records in $dll"; exit 1; }
at_zero=$(grep -c '^00000000 ' <<<"$fdes" || true)
# (awk without strtonum: hexadecimal by hand)
hex='function hex(s,  i, v) { v = 0; s = tolower(s); for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1; return v }'
outside=$(awk -v s="$text_start" -v e="$text_end" "$hex"'
  $1 != "00000000" { a = hex($1); b = hex($2); if (a < s || b > e) print }' <<<"$fdes")
echo "  $total unwind records, $at_zero at 0 (dropped duplicates)"
fail=0
if [ -n "$outside" ]; then
  echo "records outside .text ($(printf '%x-%x' "$text_start" "$text_end")):"; head -n 10 <<<"$outside"; fail=1
fi

# Functions of .text by their public symbols: "ADDRESS NAME".
funcs=$("$(qz_llvm_tool llvm-pdbutil)" dump --publics "$pdb" | awk -v base="$((16#$base))" -v rva="$rva_start" '
  /S_PUB32/ { n = $NF; gsub(/`/, "", n); next }
  n != "" && /flags = function, addr = 0001:/ { split($0, a, /addr = 0001:/); printf "%d %s\n", base + rva + a[2], n }
  { n = "" }' | sort -n -k1,1)
[ -n "$funcs" ] || { echo "no public functions in $pdb"; exit 1; }
# Each function's address against the records, both sorted: "NAME" of those
# no record covers.
uncovered=$(
  { awk "$hex"' $1 != "00000000" { printf "%d R %d\n", hex($1), hex($2) }' <<<"$fdes"
    awk '{ print $1, "F", $2 }' <<<"$funcs"; } | sort -n -k1,1 -k2,2r |
  awk '$2 == "R" { if ($3 > end) end = $3; next } { if ($1 >= end) print $3 }')
# Never throw and never see an exception pass: the CRT's and libgcc's
# hand-written assembly (the x87 log2l and exp2l among it), import thunks, and
# the startup code.
never_unwind='^(__imp_|___chkstk|__alloca|___chkstk_ms|__chkstk|_?_?_?(mem|str)[a-z]*$|__?_?(aulldiv|aullrem|alldiv|allrem|allmul|allshl|allshr|aullshr)|_?__?DllMainCRTStartup|_?__?_?tls_|_?___?(x86|i386)\.get_pc_thunk|__?ZN?[0-9]*__cxa_|_(log2l|exp2l)$)'
missing=$(grep -vE "$never_unwind" <<<"$uncovered" || true)
n_funcs=$(grep -c . <<<"$funcs")
echo "  $n_funcs public functions in .text, $(grep -c . <<<"$missing" || true) of them without a record"
if [ -n "$missing" ]; then
  echo "functions without an unwind record (an exception passing them ends the process):"
  head -n ${QZ_SHOW:-20} <<<"$missing"; fail=1
fi
# The runtime's, which exceptions leave through most (the string and file
# stream members, operator new): each must be among the functions checked.
for f in __ZNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEE9_M_createERjj \
         __ZNSt13basic_filebufIcSt11char_traitsIcEE4openEPKcSt13_Ios_Openmode __Znwj; do
  awk -v f="$f" '$2 == f { found = 1 } END { exit !found }' <<<"$funcs" ||
    { echo "no public function $f in $pdb"; fail=1; }
done
exit $fail
