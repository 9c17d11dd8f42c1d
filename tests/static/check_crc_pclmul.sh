#!/usr/bin/env bash
# Static check of a built DLL's CRC-32 code (libdeflate, linked in): the
# carry-less-multiply implementation is there and holds PCLMULQDQ
# instructions, the portable slice-by-8 one is there for processors without
# them, and the CPU dispatch between them asks CPUID.
#   usage: check_crc_pclmul.sh OBJDUMP DLL
set -euo pipefail
objdump=$1 dll=$2
# Per function of the disassembly: PCLMULQDQ instructions (objdump writes the
# immediate forms as pclmul{l,h}q{l,h}qdq) and CPUID instructions.
counts=$("$objdump" -d "$dll" | awk '
  /^[0-9a-f]+ <[^>]+>:$/ { f = $2; gsub(/[<>:]/, "", f); sub(/^_/, "", f); seen[f] = 1; next }
  /\tv?pclmul[a-z]*qdq / { pclmul[f]++ }
  /\tcpuid/ { cpuid[f]++ }
  END { for (f in seen) if (f ~ /^(crc32_|dispatch_crc32|libdeflate_crc32|libdeflate_init_x86_cpu_features)/)
          printf "%s %d %d\n", f, pclmul[f] + 0, cpuid[f] + 0 }' | sort)
fail=0
need() {  # need FUNCTION MIN_PCLMUL MIN_CPUID
  local line
  line=$(printf '%s\n' "$counts" | awk -v f="$1" '$1 == f')
  if [ -z "$line" ]; then echo "no function $1 in the disassembly"; fail=1; return; fi
  set -- $line "$2" "$3"
  if [ "$2" -lt "$4" ] || [ "$3" -lt "$5" ]; then
    echo "$1: $2 pclmulqdq and $3 cpuid instructions, expected at least $4 and $5"; fail=1
  fi
}
need libdeflate_crc32 0 0
need crc32_x86_pclmul 8 0                   # the carry-less-multiply folding
need crc32_slice8 0 0                       # the portable fallback
need libdeflate_init_x86_cpu_features 0 1   # the run-time CPU check
printf '%s\n' "$counts" | sed 's/^/  /; s/ \([0-9]*\) \([0-9]*\)$/: \1 pclmulqdq, \2 cpuid/'
exit $fail
