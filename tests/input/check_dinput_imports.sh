#!/usr/bin/env bash
# The DLL takes only DirectInput8Create from dinput8.dll: the mouse GUID and
# the c_dfDIMouse2 data format are linked in from the toolchain's libraries.
#   usage: check_dinput_imports.sh OBJDUMP DLL
set -euo pipefail
objdump=$1 dll=$2
names=$("$objdump" -p "$dll" | awk '
  /DLL Name:/ { cur = tolower($3); next }
  # "VMA HINT NAME" (binutils 2.40), "VMA <none> HINT NAME" (2.44)
  cur == "dinput8.dll" && (NF == 3 || NF == 4) && $1 ~ /^[0-9a-f]+$/ && $(NF - 1) ~ /^[0-9a-f]+$/ { print $NF }' | sort -u)
echo "imports from dinput8.dll: ${names:-none}"
[ "$names" = "DirectInput8Create" ]
