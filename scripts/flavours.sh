# Sourced by build-boost.sh and build-libdeflate.sh: what each library build
# is for, by the name setup.sh gives it.
#   i686      the shipped DLL's: clang 19 in the Debian 13 root (root-run),
#             with CodeView for the DLL's PDB
#   x86_64    the x86_64 test build's: this machine's MinGW-w64 GCC 12
#   i686-gcc  the i686-gcc preset's (comparisons): GCC 12 as well
# qz_flavour NAME sets target (i686, x86_64), folder (the cache key's part,
# as the toolchain files' QZ_LIB_FLAVOUR), run (the command prefix: root-run
# or nothing) and, for clang, clang_debug (its debug options, the
# libraries' paths under the cache recorded as "qzcache").
qz_flavour() {
  local here; here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  run=() clang_debug=
  case "$1" in
    i686)
      target=i686 folder=i686-clang19 run=("$here/root-run")
      clang_debug="-fasynchronous-unwind-tables -gcodeview -gno-codeview-command-line -fdebug-compilation-dir=. -ffile-prefix-map=${QZ_CACHE:-/var/cache/qzutilities}=qzcache" ;;
    i686-gcc) target=i686 folder=i686 ;;
    x86_64) target=x86_64 folder=x86_64 ;;
    *) echo "unknown target $1 (i686, x86_64 or i686-gcc)" >&2; return 2 ;;
  esac
}
