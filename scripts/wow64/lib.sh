# Sourced by the WoW64 scripts: the Debian 13 root (make-root.sh) in
# $QZ_WOW64_CACHE/wow64-<key>/ (default QZ_CACHE): root/ (Wine 10 and the i686
# toolchain), prefix/ (each run overlays it), run/ (each run's tmpfs), probe32
# (can this kernel run 32-bit code?) and, written last, ready.
QZ_CACHE=${QZ_CACHE:-/var/cache/qzutilities}
QZ_WOW64_CACHE=${QZ_WOW64_CACHE:-$QZ_CACHE}

# qz_wow64_dir: the folder of this recipe's root; fails when there is none.
qz_wow64_dir() {
  local d; d=$QZ_WOW64_CACHE/wow64-$("$(dirname "${BASH_SOURCE[0]}")/../make-root.sh" --key wow64) || return 1
  [ -f "$d/ready" ] && echo "$d"
}

# qz_root_binds ROOT [PATH...]: the host folders to show inside ROOT, a line
# each: the current folder, this checkout, /tmp, TMPDIR and the PATHs, by
# real path, once, none inside another shown. Fails with a message when
# TMPDIR is missing or one would hide a folder of the root's own system.
qz_root_binds() {
  local root=$1 path s shown=() tmp; shift
  tmp=$(cd "${TMPDIR:-/tmp}" 2>/dev/null && pwd -P) || { echo "no temporary folder ${TMPDIR:-/tmp}"; return 1; }
  # In byte order a folder comes before every folder inside it.
  while IFS= read -r path; do
    for s in "${shown[@]}"; do case "$path/" in "$s"/*) continue 2 ;; esac; done
    if [ "$path" != /tmp ] && [ -n "$(ls -A "$root$path" 2>/dev/null)" ]; then
      echo "cannot show $path inside: the root has a folder of its own there"; return 1
    fi
    shown+=("$path")
  done < <(for path in "$(pwd -P)" "$(dirname "${BASH_SOURCE[0]}")/../.." /tmp "$tmp" "$@"; do
             [ -z "$path" ] || (cd "$path" 2>/dev/null && pwd -P)
           done | LC_ALL=C sort -u)
  printf '%s\n' "${shown[@]}"
}

# qz_runs_32bit: fails, saying why, when the root's probe finds no 32-bit
# code in a 64-bit process here (some hypervisors offer none). Without a root
# it does not fail: the run itself then names the missing root.
qz_runs_32bit() { local d; d=$(qz_wow64_dir) || return 0; "$d/probe32" 2>&1; }
