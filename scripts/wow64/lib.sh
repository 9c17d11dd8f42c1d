# Sourced by the WoW64 scripts: where the Debian 13 root with Wine 10 and the
# i686 toolchain lives.
#
# The root is cached outside the clone, in $QZ_WOW64_CACHE/wow64-<key>/ (by
# default the machine's cache folder, QZ_CACHE; the key is a hash of the
# recipe, scripts/make-root.sh, which builds it), with
#   root/    the Debian minbase system (Wine, its 32-bit Windows DLLs, Xvfb,
#            xdotool, libfaketime; clang and lld 19 with Debian 13's
#            MinGW-w64 runtime, CMake, Ninja, GoogleTest, utfcpp, zlib),
#   prefix/  the Wine prefix, made once; every run sees it through an
#            overlay of its own, so runs neither share nor change it
#   run/     the mount point of each run's own tmpfs (scripts/wow64/enter.sh)
#   probe32  a small native program: can this kernel run 32-bit code?
#   ready    written last: suite, Wine version, key, file counts
QZ_CACHE=${QZ_CACHE:-/var/cache/qzutilities}
QZ_WOW64_CACHE=${QZ_WOW64_CACHE:-$QZ_CACHE}

# qz_wow64_dir: prints the folder of the cached root of this recipe; fails
# when there is none.
qz_wow64_dir() {
  local d
  d=$QZ_WOW64_CACHE/wow64-$("$(dirname "${BASH_SOURCE[0]}")/../make-root.sh" --key wow64) || return 1
  [ -f "$d/ready" ] && echo "$d"
}

# qz_root_binds ROOT [PATH...]: the host folders to show inside ROOT at the
# same paths (QZ_WOW64_BINDS of scripts/wow64/enter.sh), one a line: the
# current folder, this checkout, /tmp and the temporary folder (TMPDIR), and
# the PATHs, each by its real path and once, one inside another shown already
# coming with it. Fails with a message when the temporary folder is not
# there, or when one would hide a folder of the root's own system.
qz_root_binds() {
  local root=$1 path s shown=() tmp; shift
  tmp=$(cd "${TMPDIR:-/tmp}" 2>/dev/null && pwd -P) || { echo "no temporary folder ${TMPDIR:-/tmp}"; return 1; }
  # In byte order a folder comes before every folder inside it.
  while IFS= read -r path; do
    for s in "${shown[@]}"; do
      case "$path/" in "$s"/*) continue 2 ;; esac
    done
    if [ "$path" != /tmp ] && [ -n "$(ls -A "$root$path" 2>/dev/null)" ]; then
      echo "cannot show $path inside: the root has a folder of its own there"
      return 1
    fi
    shown+=("$path")
  done < <(for path in "$(pwd -P)" "$(dirname "${BASH_SOURCE[0]}")/../.." /tmp "$tmp" "$@"; do
             [ -z "$path" ] || (cd "$path" 2>/dev/null && pwd -P)
           done | LC_ALL=C sort -u)
  printf '%s\n' "${shown[@]}"
}

# qz_runs_32bit: fails, saying why, when the root's probe finds that this
# kernel cannot run 32-bit code in a 64-bit process, as WoW64 needs (some
# hypervisors offer none). Without a root it cannot tell and does not fail:
# the run itself then fails, naming the missing root.
qz_runs_32bit() {
  local d; d=$(qz_wow64_dir) || return 0
  "$d/probe32" 2>&1
}
