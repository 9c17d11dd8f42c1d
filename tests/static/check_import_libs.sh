#!/usr/bin/env bash
# Both shipped import libraries work: a DLL that refers to every export of the
# .def is linked once by an MSVC-compatible linker (lld-link, objects from
# clang for the MSVC target) against qzutilities.lib and once by MinGW's gcc
# against libqzutilities.dll.a, and each result must import exactly the .def's
# names from qzutilities.dll.
#   check_import_libs.sh MACHINE DEF MSVC_LIB MINGW_LIB MINGW_CC OBJDUMP
# MACHINE: x86 or x64.
set -uo pipefail
machine=$1 def=$2 msvc_lib=$3 mingw_lib=$4 mingw_cc=$5 objdump=$6
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fail=0

case "$machine" in
  x86) triple=i686-pc-windows-msvc ;;
  x64) triple=x86_64-pc-windows-msvc ;;
  *) echo "unknown machine $machine"; exit 1 ;;
esac

want=$(sed -n '/^EXPORTS/,$p' "$def" | sed '1d; s/;.*//' | awk 'NF {print $1}' | sort)
[ -n "$want" ] || { echo "no exports in $def"; exit 1; }
{
  echo "/* Every export, by its plain name (the prototypes do not matter here). */"
  for n in $want; do echo "void $n(void);"; done
  echo "void (*const qz_every_export[])(void) = {"
  for n in $want; do echo "  $n,"; done
  echo "};"
  echo "__declspec(dllexport) const void *qz_exports(void) { return qz_every_export; }"
} >"$tmp/user.c"

# imports_from DLL: the names the DLL imports from qzutilities.dll, sorted.
imports_from() {
  "$objdump" -p "$1" | awk '
    /DLL Name:/ { inside = (tolower($3) == "qzutilities.dll"); next }
    inside && NF == 0 { inside = 0 }
    inside && (NF == 3 || NF == 4) && $1 ~ /^[0-9a-f]+$/ && $(NF - 1) ~ /^[0-9a-f]+$/ { print $NF }' | sort
}
compare() {
  local what=$1 dll=$2 have
  have=$(imports_from "$dll")
  if [ "$have" != "$want" ]; then
    echo "$what: imports from qzutilities.dll differ from the .def:"; diff <(echo "$want") <(echo "$have"); fail=1
  else
    echo "$what: $(grep -c . <<<"$have") imports from qzutilities.dll, as the .def lists"
  fi
}

# Debian 12 names them clang and lld-link, the Debian 13 root clang-19 and lld-link-19.
clang=$(command -v clang || command -v clang-19) lld_link=$(command -v lld-link || command -v lld-link-19)
if "$clang" --target="$triple" -c -o "$tmp/user.obj" "$tmp/user.c" &&
   "$lld_link" /nologo /dll /noentry /nodefaultlib /machine:"$machine" /out:"$tmp/msvc_user.dll" \
     "$tmp/user.obj" "$msvc_lib"; then
  compare "lld-link with $(basename "$msvc_lib")" "$tmp/msvc_user.dll"
else
  echo "linking against $msvc_lib failed"; fail=1
fi

if "$mingw_cc" -shared -o "$tmp/mingw_user.dll" "$tmp/user.c" "$mingw_lib"; then
  compare "MinGW ld with $(basename "$mingw_lib")" "$tmp/mingw_user.dll"
else
  echo "linking against $mingw_lib failed"; fail=1
fi
exit $fail
