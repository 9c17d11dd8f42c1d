#!/usr/bin/env bash
# The public header keeps every export cdecl on compilers for 32-bit x86 that
# are neither Microsoft's nor MinGW's (QZ_CDECL), even where the options make
# another convention the default (-mrtd: stdcall):
#   check_cdecl.sh CLANG SOURCE_DIR
# Each export of exports/exports.inc, declared by include/qzutilities.h, must
# have the type of a cdecl function when the header is compiled for
# i686-linux-gnu with -mrtd (and compile for x86_64-linux-gnu, which has one
# convention); a header whose macro names no convention there must fail it.
# Compiled freestanding, with the C library's wchar.h standing empty (C++ has
# wchar_t of its own).
set -uo pipefail
clang=$1 src=$2
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/libc" "$tmp/include"
: >"$tmp/libc/wchar.h"
cat >"$tmp/cdecl.cpp" <<'CPP'
#include "include/qzutilities.h"
#if defined(__i386__)
#define QZ_THE_CDECL __attribute__((cdecl))
#else
#define QZ_THE_CDECL
#endif
// A function type of the cdecl convention (a variadic one always is).
template <class F> struct is_cdecl { static constexpr bool value = false; };
template <class R, class... A> struct is_cdecl<R QZ_THE_CDECL(A...)> { static constexpr bool value = true; };
template <class R, class... A> struct is_cdecl<R(A..., ...)> { static constexpr bool value = true; };
#define QZ_SUBSYSTEM(id, heading)
#define QZ_EXPORT(name, subsystem, thread, note) \
    static_assert(is_cdecl<decltype(::name)>::value, "export " #name " is not cdecl");
#include "exports/exports.inc"
CPP
compile() {  # compile HEADER_ROOT TARGET [FLAGS...]
  local root=$1 target=$2; shift 2
  "$clang" --target="$target" "$@" -std=c++17 -ffreestanding -fsyntax-only -Werror \
    -I "$root" -I "$src" -isystem "$tmp/libc" "$tmp/cdecl.cpp" 2>&1
}
fail=0
out=$(compile "$src" i686-linux-gnu -mrtd) || { echo "i686-linux-gnu -mrtd: $out"; fail=1; }
out=$(compile "$src" x86_64-linux-gnu) || { echo "x86_64-linux-gnu: $out"; fail=1; }
# The check itself: the header without its branch for GCC and clang on i386.
mkdir -p "$tmp/bare/include"
sed '/defined(__i386__)/,/^#define QZ_CDECL __attribute__/d' "$src/include/qzutilities.h" >"$tmp/bare/include/qzutilities.h"
if grep -q '__attribute__((cdecl))' "$tmp/bare/include/qzutilities.h"; then
  echo "the check's copy of the header still names the convention"; fail=1
elif out=$(compile "$tmp/bare" i686-linux-gnu -mrtd); then
  echo "a header whose QZ_CDECL names no convention passed on i686-linux-gnu -mrtd"; fail=1
elif ! grep -q 'export A6_DLLAPI is not cdecl' <<<"$out"; then
  echo "a header whose QZ_CDECL names no convention failed otherwise: $out"; fail=1
fi
[ "$fail" = 0 ] && echo "cdecl: every export is cdecl on i686-linux-gnu with -mrtd; a header without the attribute is caught"
exit $fail
