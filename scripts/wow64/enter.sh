#!/usr/bin/env bash
# enter.sh DIR MODE CWD COMMAND...
#   PID 1 of a private mount and PID namespace (scripts/wow64-run starts it
#   with unshare): mounts what the root in DIR/root needs, runs COMMAND in it
#   (chrooted, in CWD) and exits with COMMAND's status. When it exits, the
#   kernel ends every process left in the namespace (the wineserver and
#   Wine's own services with it) and drops every mount made here: nothing
#   of a run outlives it, and nothing is ever mounted in the host's view.
#
#   MODE run:   the prefix through an overlay whose upper half is a tmpfs of
#               this run (the cached prefix stays as it was made), and a
#               wineserver of this run alone (Wine's server folder in /tmp
#               is a tmpfs of this run too)
#   MODE setup: the prefix itself, written; waits for the server to save it
#   MODE tool:  no Wine: a program of the root's own (the i686 toolchain,
#               scripts/root-run)
#
#   QZ_WOW64_BINDS: the host folders to show at the same paths inside, one a
#   line (the caller's folder, the checkout, the temporary folder, ...).
set -uo pipefail
dir=$1 mode=$2 cwd=$3; shift 3
root=$dir/root
die() { echo "wow64-run: $*" >&2; exit 125; }

mount -t proc proc "$root/proc" || die "cannot mount /proc in $root"
mount --rbind /dev "$root/dev" || die "cannot bind /dev into $root"
mount --rbind /sys "$root/sys" || die "cannot bind /sys into $root"
while IFS= read -r path; do
  [ -n "$path" ] || continue
  mkdir -p "$root$path" && mount --rbind "$path" "$root$path" || die "cannot bind $path into $root"
done <<<"${QZ_WOW64_BINDS:-}"

if [ "$mode" = tool ]; then
  chroot "$root" /usr/bin/env -C "$cwd" "$@"
  exit
fi

# Wine's server folder: /tmp/.wine-UID, a tmpfs of this run, so that no
# server started elsewhere (another run, another display) is found.
server_dir=/tmp/.wine-$(id -u)
mkdir -p "$root$server_dir" && mount -t tmpfs -o mode=0700 tmpfs "$root$server_dir" ||
  die "cannot make Wine's server folder in $root"
# No Wayland compositor runs inside: an empty runtime folder of this run lets
# Wine's Wayland driver find none and step aside for X11 without a word.
mkdir -m 0700 "$root$server_dir/xdg" || die "cannot make the run's XDG_RUNTIME_DIR"
export XDG_RUNTIME_DIR=$server_dir/xdg
unset WAYLAND_DISPLAY

case "$mode" in
  run)
    mount -t tmpfs -o mode=0700 tmpfs "$root/opt/qz/scratch" || die "cannot mount the run's tmpfs"
    mkdir -p "$root/opt/qz/scratch/upper" "$root/opt/qz/scratch/work"
    mount -t overlay overlay \
      -o "lowerdir=$dir/prefix,upperdir=$root/opt/qz/scratch/upper,workdir=$root/opt/qz/scratch/work" \
      "$root/opt/qz/prefix" || die "cannot mount the prefix overlay"
    ;;
  setup)
    mount --bind "$dir/prefix" "$root/opt/qz/prefix" || die "cannot bind the prefix"
    ;;
  *) die "unknown mode $mode" ;;
esac

export WINEPREFIX=/opt/qz/prefix
chroot "$root" /usr/bin/env -C "$cwd" "$@"
rc=$?
if [ "$mode" = setup ]; then
  # The registry is written when the server ends.
  chroot "$root" /usr/lib/wine/wineserver -w
fi
exit $rc
