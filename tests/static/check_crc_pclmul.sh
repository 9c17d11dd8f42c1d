#!/usr/bin/env bash
# Static check of a built DLL's CRC-32 code (libdeflate, linked in): the
# carry-less-multiply kernels are there and hold PCLMULQDQ instructions on
# their vectors (128-bit xmm, 256-bit ymm for AVX2 and AVX-512/256, 512-bit
# zmm for AVX-512), the portable slice-by-8 code is there for processors
# without them, and the CPU dispatch between them asks CPUID. The DLL is stripped, so
# the functions' places come from its debug file (its PDB, through
# llvm-pdbutil, or the DWARF file of its debug link); the instructions
# counted are the shipped DLL's own bytes at those places.
#   usage: check_crc_pclmul.sh OBJDUMP DLL DEBUG_FILE
set -euo pipefail
objdump=$1 dll=$2 debug=$3
text_vma=$("$objdump" -h "$dll" | awk '$2 == ".text" { print $4; exit }')
[ -n "$text_vma" ] || { echo "no .text section in $dll"; exit 1; }
# Functions of the code section: "START STOP NAME", offsets into it.
if [[ "$debug" == *.pdb ]]; then
  # S_GPROC32/S_LPROC32 records: the name, then "addr = SECTION:OFFSET, code size = N".
  source "$(dirname "$0")/codeview.sh"
  funcs=$("$(qz_llvm_tool llvm-pdbutil)" dump --symbols "$debug" | awk '
    /S_[GL]PROC32 / { n = $NF; gsub(/`/, "", n); next }
    n != "" && /addr = 0001:/ { split($0, a, /addr = 0001:|, code size = /); print a[2], a[2] + a[3], n }
    { n = "" }')
else
  funcs=$("$objdump" -t "$debug" | awk '
    /\(sec  1\)/ && /\(ty   20\)/ { n = $NF; sub(/^_/, "", n); print $(NF - 1), n }' | sort |
    awk '{ if (prev != "") print prev, $1, name; prev = $1; name = $2 }')
fi
fail=0
need() {  # need FUNCTION MIN_PCLMUL MIN_CPUID [REGISTERS]: the PCLMULQDQs on REGISTERS (xmm, ymm, zmm)
  local start stop dis pcl cpu regs=${4:-[xyz]mm}
  read -r start stop < <(awk -v f="$1" '$3 == f { print $1, $2; exit }' <<<"$funcs") || true
  if [ -z "${start:-}" ] || [ -z "${stop:-}" ]; then echo "no function $1 in the debug symbols"; fail=1; return; fi
  start=$((16#$text_vma + start)) stop=$((16#$text_vma + stop))
  dis=$("$objdump" -d --start-address="$start" --stop-address="$stop" "$dll")
  # objdump writes the immediate forms as pclmul{l,h}q{l,h}qdq.
  pcl=$(grep -cE $'\tv?pclmul[a-z]*qdq .*%'"$regs"'[0-9]+$' <<<"$dis" || true)
  cpu=$(grep -cE $'\tcpuid' <<<"$dis" || true)
  echo "  $1: $pcl pclmulqdq on ${4:-any} registers, $cpu cpuid ($((stop - start)) bytes)"
  if [ "$pcl" -lt "$2" ] || [ "$cpu" -lt "$3" ]; then
    echo "$1: expected at least $2 pclmulqdq on ${4:-any} registers and $3 cpuid instructions"; fail=1
  fi
}
need libdeflate_crc32 0 0
need crc32_x86_pclmulqdq 8 0 xmm                  # 128-bit folding (SSE4.1)
need crc32_x86_pclmulqdq_avx 8 0 xmm              # the same, VEX-coded
need crc32_x86_vpclmulqdq_avx2 8 0 ymm            # 256-bit folding (AVX2)
need crc32_x86_vpclmulqdq_avx512_vl256 8 0 ymm    # 256-bit, AVX-512 (vpternlog)
need crc32_x86_vpclmulqdq_avx512_vl512 8 0 zmm    # 512-bit folding (AVX-512)
need crc32_slice8 0 0                       # the portable fallback
need libdeflate_init_x86_cpu_features 0 1   # the run-time CPU check
exit $fail
