# Sourced by the WoW64 scripts: where the Debian 13 root with Wine 10 lives.
#
# The root is cached outside the clone, in $QZ_CACHE/wow64-<suite>-wine<V>-r<recipe>/
# (V: the Wine version it holds), with
#   root/    the Debian minbase system (Wine, its 32-bit Windows DLLs, Xvfb,
#            xdotool, libfaketime), with empty folders as mount points
#   prefix/  the Wine prefix, made once; every run sees it through an
#            overlay of its own, so runs neither share nor change it
#   probe32  a small native program: can this kernel run 32-bit code?
#   ready    written last: suite, Wine version, recipe, file counts
QZ_CACHE=${QZ_CACHE:-/var/cache/qzutilities}
QZ_WOW64_SUITE=trixie
# Bump to make every machine build its root anew.
QZ_WOW64_RECIPE=1

# qz_wow64_dir: prints the cached root's folder of this suite and recipe
# (the newest, if several Wine versions are there); fails when there is none.
qz_wow64_dir() {
  local d found=
  for d in "$QZ_CACHE"/wow64-"$QZ_WOW64_SUITE"-wine*-r"$QZ_WOW64_RECIPE"; do
    [ -f "$d/ready" ] && found=$d
  done
  [ -n "$found" ] && echo "$found"
}

# qz_mounts_under PREFIX: prints the mount points whose path (with a slash
# added) starts with PREFIX; fails when there is none.
qz_mounts_under() {
  awk -v p="$1" 'index($2 "/", p) == 1 { print $2; found = 1 } END { exit !found }' /proc/mounts
}
