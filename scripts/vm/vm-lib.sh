# Sourced by the VM scripts: the guest image (make-root.sh, in
# $QZ_VM_CACHE/vm-<key>/, default QZ_CACHE) and how it boots.
QZ_CACHE=${QZ_CACHE:-/var/cache/qzutilities} QZ_VM_CACHE=${QZ_VM_CACHE:-$QZ_CACHE}

# The newest installed Debian kernel (linux-image-amd64): its version.
qz_vm_kernel_version() {
  local k; k=$(ls /boot/vmlinuz-* 2>/dev/null | sed 's|.*/vmlinuz-||' | sort -V | tail -n1)
  [ -n "$k" ] && echo "$k" || { echo "vm: no kernel in /boot (linux-image-amd64)" >&2; return 1; }
}

# qz_vm_boot IMAGE_DIR MODE CONSOLE LIMIT_SECONDS [QEMU ARGS...]: the guest's
#   PID 1 in MODE, console to CONSOLE, QZ_VM_APPEND on the kernel's command
#   line; qemu's status, or 124 when killed at the time limit.
qz_vm_boot() {
  local dir=$1 mode=$2 console=$3 limit=$4 cpus=${QZ_VM_CPUS:-2}; shift 4
  # No /dev/kvm here: TCG. Without SMAP, since with it every 32-bit Windows
  # process dies in a guest kernel oops when Wine returns with iret.
  timeout -k 10 "$limit" qemu-system-x86_64 \
    -nodefaults -no-user-config -machine pc -accel tcg,thread=multi -cpu max,-smap \
    -smp "$cpus" -m 2048 -display none -no-reboot -serial "file:$console" \
    -kernel "$dir/vmlinuz" -initrd "$dir/initrd.img" \
    -append "root=/dev/vda rootfstype=ext4 rw console=ttyS0 panic=1 init=/sbin/qz-init qz.mode=$mode ${QZ_VM_APPEND:-}" \
    "$@" </dev/null
}
