#!/usr/bin/env bash
# enter.sh DIR MODE CWD COMMAND...: PID 1 of a private mount and PID namespace
#   (root-run starts it): COMMAND chrooted into this run's view of DIR/root, an
#   overlay on a tmpfs of this run (DIR/run) that takes its mount points and
#   writes: no run writes to the cached root or sees another's, and on exit
#   the kernel ends its processes and drops its mounts. MODE tool: a program of
#   the root; run: Wine on an overlay of the prefix, a wineserver of its own;
#   setup: Wine on the prefix itself. QZ_WOW64_BINDS: the folders shown inside.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$1 mode=$2 cwd=$3; shift 3
tmp=$dir/run root=$dir/run/root
die() { echo "$([ "$mode" = tool ] && echo root-run || echo wow64-run): $*" >&2; exit 125; }

mount -t tmpfs -o mode=0755 tmpfs "$tmp" && mkdir "$tmp/upper" "$tmp/work" "$root" &&
  mount -t overlay overlay -o "lowerdir=$dir/root,upperdir=$tmp/upper,workdir=$tmp/work" "$root" ||
  die "cannot make this run's view of $dir/root"
mount -t proc proc "$root/proc" && mount --rbind /dev "$root/dev" && mount --rbind /sys "$root/sys" ||
  die "cannot mount /proc, /dev and /sys in the view of $dir/root"
while IFS= read -r path; do
  [ -z "$path" ] || { mkdir -p "$root$path" && mount --rbind "$path" "$root$path"; } || die "cannot show $path inside"
done <<<"${QZ_WOW64_BINDS:-}"

if [ "$mode" != tool ]; then
  # Wine's server folder, a tmpfs of this run: no other run's server is found.
  server=/tmp/.wine-$(id -u)
  mkdir -p "$root$server" && mount -t tmpfs -o mode=0700 tmpfs "$root$server" || die "cannot make Wine's server folder"
  # An empty runtime folder: Wine's Wayland driver finds no compositor and
  # steps aside for X11 without a word.
  export XDG_RUNTIME_DIR=$server/xdg WINEPREFIX=/opt/qz/prefix; unset WAYLAND_DISPLAY
  mkdir -m 0700 "$root$XDG_RUNTIME_DIR" || die "cannot make the run's XDG_RUNTIME_DIR"
  mkdir -p "$root$WINEPREFIX" || die "cannot make the prefix's mount point"
  case "$mode" in
    run) mkdir "$tmp/prefix" "$tmp/prefix.work" &&
      mount -t overlay overlay -o "lowerdir=$dir/prefix,upperdir=$tmp/prefix,workdir=$tmp/prefix.work" \
        "$root$WINEPREFIX" || die "cannot mount the prefix overlay" ;;
    setup) mount --bind "$dir/prefix" "$root$WINEPREFIX" || die "cannot bind the prefix" ;;
    *) die "unknown mode $mode" ;;
  esac
  source "$here/../wine.env" && qz_wine_defaults wow64
fi

chroot "$root" /usr/bin/env -C "$cwd" "$@"; rc=$?
# (The registry is written when the server ends.)
[ "$mode" != setup ] || chroot "$root" /usr/lib/wine/wineserver -w
exit $rc
