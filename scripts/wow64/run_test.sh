#!/usr/bin/env bash
# How scripts/wow64-run fails, the folders it shows, and that no run (a
# timeout's too, from a folder as long as the checkout's path, several at
# once) leaves anything mounted or made in the cached root. Needs the root.
here=$(cd "$(dirname "$0")" && pwd)
run=$here/../wow64-run
source "$here/lib.sh"
source "$here/../test-lib.sh"
dir=$(qz_wow64_dir) || { echo "no WoW64 root: run scripts/setup.sh"; exit 1; }
expect() {  # expect STATUS PATTERN COMMAND...: the status, and PATTERN in what it printed
  local want=$1 pattern=$2 out rc; shift 2
  out=$("$@" 2>&1 </dev/null); rc=$?
  if [ "$rc" = "$want" ] && grep -qE -- "$pattern" <<<"$out"; then echo "ok: $* -> $rc"
  else fail "$*: status $rc (want $want), printed: $out"; fi
}
expect 125 '^wow64-run: no Debian 13 root in /nonexistent \(run scripts/setup.sh\)$' \
  env QZ_WOW64_CACHE=/nonexistent "$run" cmd /c exit
expect 125 '^wow64-run: usage' "$run"
expect 125 '^wow64-run: no program /nonexistent/game\.exe$' "$run" /nonexistent/game.exe
expect 125 'neither a file nor one of Wine' "$run" no_such_program
expect 7 '' "$run" cmd /c exit 7
expect 125 '^wow64-run: cannot show /usr inside: the root has a folder of its own there$' env -C /usr "$run" cmd /c exit

# The folders shown, in a stand-in root with a system folder of its own
# (outside /tmp and the checkout, which are shown anyway).
base=$(mktemp -d /var/tmp/qz-binds.XXXXXX) checkout=$(cd "$here/../.." && pwd -P) same_len='' prog=''
trap 'rm -rf "$tmp" "$base" "$same_len" "$prog"' EXIT
mkdir -p "$base/root/usr/bin" "$base/aa/in" "$base/bb" "$base/a-b" && touch "$base/root/usr/bin/sh" && ln -s "$base/bb" "$base/link"
shown=$(cd "$base/aa/in" && qz_root_binds "$base/root" "$base/bb" "$base/a-b" "$base/link" "$base/aa" "$base/aa/in")
same "the folders shown, each once" "$(grep "^$base/" <<<"$shown" | paste -sd' ')" "$base/a-b $base/aa $base/bb"
same "a system folder refused" "$(qz_root_binds "$base/root" /usr/bin)" \
  "cannot show /usr/bin inside: the root has a folder of its own there"

# A run from a folder as long as the checkout's path, on a program in a
# folder under the checkout, then one from the checkout; then both at once.
if [ "${#checkout}" -ge 8 ]; then
  same_len=$(mktemp -d "/tmp/$(printf "%$((${#checkout} - 5))s" | tr ' ' X)") prog=$checkout/build/wow64-run-test
  mkdir -p "$prog" && cp "$dir/root/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/cmd.exe" "$prog/"
  expect 4 '' env -C "$same_len" "$run" "$prog/cmd.exe" /c exit 4
  expect 5 '' env -C "$checkout" "$run" cmd /c exit 5
  env -C "$same_len" "$run" "$prog/cmd.exe" /c exit 6 >/dev/null 2>&1 </dev/null & a=$!
  env -C "$checkout" "$run" cmd /c exit 7 >/dev/null 2>&1 </dev/null & b=$!
  wait $a; ra=$?; wait $b
  same "two runs at once, from the two folders" "$ra $?" "6 7"
else
  echo "not checked: runs from a folder as long as the checkout's path ($checkout is too short)"
fi
if "$dir/probe32" 2>/dev/null; then
  expect 0 '' "$dir/probe32"
else  # No 32-bit code on this kernel: a 32-bit program is refused, saying why.
  expect 125 'cannot run 32-bit code in a 64-bit process.*selector 0x23.*is 32-bit$' \
    "$run" "$dir/root/usr/lib/x86_64-linux-gnu/wine/i386-windows/cmd.exe" /c exit
fi
expect 1 'selector 0x2b\) ended with signal' "$dir/probe32" 0x2b

# A hang ends with its caller's timeout, and takes its wineserver along.
mark=QZ_RUN_TEST_MARK=$$ start=$(date +%s)  # (a mark in the run's environment: other tests use the root too)
expect 124 '' env "$mark" timeout -k 5 3 "$run" cmd /c "ping -n 60 127.0.0.1 >nul"
took=$(( $(date +%s) - start )); [ "$took" -le 12 ] || fail "the timeout took ${took}s"
sleep 1
left=$(for p in /proc/[0-9]*; do
  # (A run's processes have its own view of the root, DIR/run/root, as theirs.)
  case "$(readlink "$p/root" 2>/dev/null)" in "$dir"/*) ;; *) continue ;; esac
  tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qx "$mark" && echo "${p#/proc/} $(tr '\0' ' ' <"$p/cmdline")"
done)
[ -z "$left" ] || fail "processes in the root outlived the run:"$'\n'"$left"
# Nothing of any run above left: no mount, nothing new in the root or prefix.
same "mounts left in the root" "$(grep -c " $dir/" /proc/mounts)" 0
same "files new in the cached root" "$(find "$dir/root" "$dir/prefix" -newer "$dir/ready" | head -n 5)" ""
qz_done "wow64-run checks"
