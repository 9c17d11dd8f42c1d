#!/usr/bin/env bash
# Static check of a built DLL's CRC-32 code (libdeflate, linked in): the
# carry-less-multiply implementation is there and holds PCLMULQDQ
# instructions, the portable slice-by-8 one is there for processors without
# them, and the CPU dispatch between them asks CPUID. The DLL is stripped, so
# the functions' places come from its debug file; the instructions counted
# are the shipped DLL's own bytes at those places.
#   usage: check_crc_pclmul.sh OBJDUMP DLL DEBUG_FILE
set -euo pipefail
objdump=$1 dll=$2 debug=$3
text_vma=$("$objdump" -h "$dll" | awk '$2 == ".text" { print $4; exit }')
[ -n "$text_vma" ] || { echo "no .text section in $dll"; exit 1; }
# Functions of the code section, by offset (fixed-width hex, so sorted as text):
# "0xOFFSET NAME".
funcs=$("$objdump" -t "$debug" | awk '
  /\(sec  1\)/ && /\(ty   20\)/ { n = $NF; sub(/^_/, "", n); print $(NF - 1), n }' | sort)
fail=0
need() {  # need FUNCTION MIN_PCLMUL MIN_CPUID
  local range start stop dis pcl cpu
  range=$(awk -v f="$1" 'found { print $1; exit } $2 == f { printf "%s ", $1; found = 1 }' <<<"$funcs")
  read -r start stop <<<"$range" || true
  if [ -z "${start:-}" ] || [ -z "${stop:-}" ]; then echo "no function $1 in the debug symbols"; fail=1; return; fi
  start=$((16#$text_vma + start)) stop=$((16#$text_vma + stop))
  dis=$("$objdump" -d --start-address="$start" --stop-address="$stop" "$dll")
  # objdump writes the immediate forms as pclmul{l,h}q{l,h}qdq.
  pcl=$(grep -cE $'\tv?pclmul[a-z]*qdq ' <<<"$dis" || true)
  cpu=$(grep -cE $'\tcpuid' <<<"$dis" || true)
  echo "  $1: $pcl pclmulqdq, $cpu cpuid ($((stop - start)) bytes)"
  if [ "$pcl" -lt "$2" ] || [ "$cpu" -lt "$3" ]; then
    echo "$1: expected at least $2 pclmulqdq and $3 cpuid instructions"; fail=1
  fi
}
need libdeflate_crc32 0 0
need crc32_x86_pclmul 8 0                   # the carry-less-multiply folding
need crc32_slice8 0 0                       # the portable fallback
need libdeflate_init_x86_cpu_features 0 1   # the run-time CPU check
exit $fail
