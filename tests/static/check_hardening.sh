#!/usr/bin/env bash
# What a release pipeline reads in the headers of every shipped binary:
#   check_hardening.sh BINARY PDB [BINARY PDB ...]
# Each BINARY (the clang build's DLL or program, with the PDB its CodeView
# record names) must have
#   DYNAMIC_BASE, with a base relocation table to move by;
#   NX_COMPAT, and no section both writable and executable;
#   NO_SEH (it registers no SEH handler: it unwinds by DWARF records) and no
#     import of an SEH handler or unwinder (_except_handler*, RtlUnwind, ...);
#   a non-zero TimeDateStamp, the same in its CodeView entry;
#   a CodeView record naming its PDB;
#   stack canaries: __stack_chk_fail linked from mingw-w64's runtime (the
#     fast fail, 0xC0000409), not libssp's (an ordinary exception, dispatched
#     through a chain the overrun may have overwritten), and called; the
#     PDB's module list says which object each symbol came from.
# Each failure names the binary and the property. LLVM 19's tools (the root).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/codeview.sh"
readobj=$(qz_llvm_tool llvm-readobj) pdbutil=$(qz_llvm_tool llvm-pdbutil) objdump=$(qz_llvm_tool llvm-objdump)
fail=0

check() {  # check BINARY PDB
  local bin=$1 pdb=$2 what ok=1 headers sections imports record stamp cv name
  what=$(basename "$bin")
  bad() { echo "$what: $*"; ok=0; }
  [ -f "$bin" ] || { echo "$what: no such file $bin"; fail=1; return; }
  headers=$("$readobj" --file-headers "$bin" 2>&1) || { echo "$what: not a PE file: $(tail -n1 <<<"$headers")"; fail=1; return; }

  grep -q 'IMAGE_DLL_CHARACTERISTICS_DYNAMIC_BASE' <<<"$headers" || bad "DYNAMIC_BASE is not set"
  grep -q 'IMAGE_FILE_RELOCS_STRIPPED' <<<"$headers" && bad "its relocations are stripped (RELOCS_STRIPPED)"
  [ "$(qz_field BaseRelocationTableSize "$headers")" != 0x0 ] || bad "no base relocation table (DYNAMIC_BASE cannot move it)"
  grep -q 'IMAGE_DLL_CHARACTERISTICS_NX_COMPAT' <<<"$headers" || bad "NX_COMPAT is not set"
  grep -q 'IMAGE_DLL_CHARACTERISTICS_NO_SEH' <<<"$headers" || bad "NO_SEH is not set (no exception model declared)"

  sections=$("$readobj" --sections "$bin" 2>/dev/null | awk '
    /^ *Name: / { name = $2 } /IMAGE_SCN_MEM_WRITE/ { w[name] = 1 } /IMAGE_SCN_MEM_EXECUTE/ { x[name] = 1 }
    END { for (n in w) if (n in x) printf "%s ", n }')
  [ -z "$sections" ] || bad "sections both writable and executable: $sections"

  imports=$("$readobj" --coff-imports "$bin" 2>/dev/null | sed -n 's/^ *Symbol: \([^ ]*\).*/\1/p' |
    grep -E '^_*(except_handler[0-9]*|RtlUnwind(Ex)?|CxxFrameHandler[0-9]*|C_specific_handler|global_unwind2|local_unwind[0-9]*)$' | tr '\n' ' ')
  [ -z "$imports" ] || bad "imports an SEH handler or unwinder: $imports"

  stamp=$(sed -n 's/^  TimeDateStamp: .*(\(0x[0-9A-F]*\))$/\1/p' <<<"$headers" | head -n1)
  record=$(qz_codeview "$bin")
  cv=$(awk '/TimeDateStamp:/ { s = $NF } /Type: CodeView/ { print s; exit }' <<<"$record" | tr -d '()')
  if [ -z "$stamp" ] || [ "$((stamp))" = 0 ]; then bad "TimeDateStamp is 0"
  elif [ "$cv" != "$stamp" ]; then bad "TimeDateStamp $stamp, its CodeView entry's ${cv:-missing}"
  fi
  name=$(qz_field PDBFileName "$record")
  [ "$name" = "$(basename "$pdb")" ] || bad "its CodeView record names '${name}', not $(basename "$pdb")"

  canary "$bin" "$pdb"
  [ "$ok" = 1 ] && echo "$what: DYNAMIC_BASE with relocations, NX_COMPAT, NO_SEH, no W+X section, no SEH import," \
    "time stamp $stamp (CodeView the same), PDB $name, $canaries"
  [ "$ok" = 1 ] || fail=1
}

canaries=
canary() {  # canary BINARY PDB: where __stack_chk_fail comes from, and its callers
  local bin=$1 pdb=$2 publics addr mods module ssp text va calls
  [ -f "$pdb" ] || { bad "no PDB at $pdb: cannot tell where __stack_chk_fail comes from"; return; }
  publics=$("$pdbutil" dump --publics "$pdb" 2>/dev/null)
  # i386 C names carry a leading underscore.
  addr=$(awk '/S_PUB32/ { n = $NF; gsub(/`/, "", n) } /addr = / && (n == "___stack_chk_fail" || n == "__stack_chk_fail") {
    sub(/.*addr = /, ""); print; exit }' <<<"$publics")
  [ -n "$addr" ] || { bad "no __stack_chk_fail: no function checks a stack canary"; return; }
  mods=$("$pdbutil" dump --modules "$pdb" 2>/dev/null)
  # The module whose section contribution holds the address, then its object and archive.
  module=$("$pdbutil" dump --section-contribs "$pdb" 2>/dev/null | awk -v a="$addr" '
    BEGIN { split(a, p, ":"); seg = p[1] + 0; off = p[2] + 0 }
    /^  SC\[/ && match($0, /mod = [0-9]+, [0-9]+:[0-9]+, size = [0-9]+/) {
      split(substr($0, RSTART, RLENGTH), f, /[ ,:]+/)   # mod = M S O size = Z
      m = f[3]; z = f[8]
      if (f[4] + 0 == seg && off >= f[5] + 0 && off < f[5] + z) { printf "%04d\n", m; exit } }')
  module=$(awk -v m="Mod $module" 'index($0, m " |") == 1 { getline o; print $0 " " o; exit }' <<<"$mods")
  ssp=$(grep -A1 '^Mod ' <<<"$mods" | grep -io 'Obj: `[^`]*\blibssp[_a-z]*\.\(a\|dll\.a\)`' | sort -u | tr '\n' ' ')
  [ -z "$ssp" ] || bad "libssp is linked ($ssp): its __stack_chk_fail raises an exception instead of failing fast"
  case "$module" in
    *stack_chk_fail*libmingwex.a*) ;;
    *) bad "__stack_chk_fail is not mingw-w64's (libmingwex.a): ${module:-no module holds $addr}"; return ;;
  esac
  # Its callers: the calls to its address in the code.
  text=$("$readobj" --sections "$bin" 2>/dev/null | awk -v s="${addr%%:*}" '/^ *Number: / { n = $2 } /VirtualAddress:/ && n == s + 0 { print $2; exit }')
  va=$(printf '%x' $(( $(qz_field ImageBase "$headers") + text + ${addr#*:} )))
  calls=$("$objdump" -d --no-show-raw-insn "$bin" 2>/dev/null | grep -cE "call[lq]?[[:space:]]+0x0*$va\b")
  [ "$calls" -gt 0 ] || bad "nothing calls __stack_chk_fail: no function checks a stack canary"
  canaries="__stack_chk_fail of libmingwex.a, called from $calls places"
}

[ $# -ge 2 ] && [ $(($# % 2)) = 0 ] || { echo "usage: check_hardening.sh BINARY PDB [BINARY PDB ...]"; exit 2; }
while [ $# -ge 2 ]; do check "$1" "$2"; shift 2; done
exit $fail
