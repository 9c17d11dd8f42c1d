#!/usr/bin/env bash
# enter.sh DIR MODE CWD COMMAND...
#   PID 1 of a private mount and PID namespace (scripts/root-run starts it
#   with unshare): runs COMMAND chrooted, in CWD, into this run's own view of
#   the root DIR/root, and exits with COMMAND's status. The view is an overlay
#   whose upper half is a tmpfs of this run, mounted on DIR/run: the mount
#   points of the folders shown inside, the prefix's changes and whatever a
#   program writes outside the folders shown land there, so a run never
#   writes to the cached root, and two runs never see each other's. When it
#   exits, the kernel ends every process left in the namespace (the
#   wineserver and Wine's own services with it) and drops every mount made
#   here, the tmpfs with it: nothing of a run outlives it, and nothing is
#   ever mounted in the host's view.
#
#   MODE tool:  a program of the root's own (the i686 toolchain)
#   MODE run:   Wine, on the prefix through an overlay of this run (the cached
#               prefix stays as it was made), with a wineserver of this run
#               alone and the project's Wine environment (scripts/wine.env)
#   MODE setup: the same on the prefix itself, written; waits for the server
#               to save it
#
#   QZ_WOW64_BINDS: the host folders to show at the same paths inside, one a
#   line (scripts/wow64/lib.sh, qz_root_binds).
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
  # Wine's server folder: /tmp/.wine-UID, a tmpfs of this run, so that no
  # server started elsewhere (another run, another display) is found.
  server=/tmp/.wine-$(id -u)
  mkdir -p "$root$server" && mount -t tmpfs -o mode=0700 tmpfs "$root$server" ||
    die "cannot make Wine's server folder"
  # No Wayland compositor runs inside: an empty runtime folder of this run lets
  # Wine's Wayland driver find none and step aside for X11 without a word.
  mkdir -m 0700 "$root$server/xdg" || die "cannot make the run's XDG_RUNTIME_DIR"
  export XDG_RUNTIME_DIR=$server/xdg WINEPREFIX=/opt/qz/prefix
  unset WAYLAND_DISPLAY
  mkdir -p "$root$WINEPREFIX" || die "cannot make the prefix's mount point"
  case "$mode" in
    run) mkdir "$tmp/prefix" "$tmp/prefix.work" &&
      mount -t overlay overlay -o "lowerdir=$dir/prefix,upperdir=$tmp/prefix,workdir=$tmp/prefix.work" \
        "$root$WINEPREFIX" || die "cannot mount the prefix overlay" ;;
    setup) mount --bind "$dir/prefix" "$root$WINEPREFIX" || die "cannot bind the prefix" ;;
    *) die "unknown mode $mode" ;;
  esac
  source "$here/../wine.env"
  qz_wine_defaults wow64
fi

chroot "$root" /usr/bin/env -C "$cwd" "$@"
rc=$?
# The registry is written when the server ends.
[ "$mode" != setup ] || chroot "$root" /usr/lib/wine/wineserver -w
exit $rc
