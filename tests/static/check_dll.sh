#!/usr/bin/env bash
# Static checks of a built DLL: its export table is exactly the .def list
# (plain names, no decoration), and it imports only Windows system DLLs.
#   usage: check_dll.sh OBJDUMP DLL DEF
set -euo pipefail
objdump=$1 dll=$2 def=$3
fail=0
dump=$("$objdump" -p "$dll")

want=$(sed -n '/^EXPORTS/,$p' "$def" | sed '1d; s/;.*//' | awk 'NF {print $1}' | sort)
# "[   0] NAME" (binutils 2.40), "[   0] +base[   1]  0000 NAME" (2.44).
have=$(printf '%s\n' "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' \
       | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' \
       | sed 's/^+base\[[[:space:]]*[0-9]*\][[:space:]]*[0-9a-f]*[[:space:]]*//' | sort)
if [ "$want" != "$have" ]; then
  echo "export table differs from the .def list:"; diff <(echo "$want") <(echo "$have") || true; fail=1
fi
if printf '%s\n' "$have" | grep -E '^_|@[0-9]+$' >/dev/null; then
  echo "decorated export names:"; printf '%s\n' "$have" | grep -E '^_|@[0-9]+$'; fail=1
fi

allowed='^(kernel32|msvcrt|user32|gdi32|shell32|shlwapi|ole32|oleaut32|advapi32|dinput8|d3d9)\.dll$'
imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for d in $imports; do
  if ! [[ $d =~ $allowed ]]; then echo "import from a DLL outside the allow-list: $d"; fail=1; fi
done
# Windows 7 is the floor: nothing may import what only later versions have.
late=$(printf '%s\n' "$dump" | grep -owE 'GetSystemTimePreciseAsFileTime|WaitOnAddress|WakeByAddress(Single|All)|CreateFile2|GetCurrentThreadStackLimits|SetThreadDescription|GetThreadDescription|PrefetchVirtualMemory' | sort -u || true)
if [ -n "$late" ]; then echo "imports that Windows 7 lacks: $late"; fail=1; fi

echo "exports: $(printf '%s\n' "$have" | grep -c .), imports: $(echo $imports)"
exit $fail
