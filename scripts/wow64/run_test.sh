#!/usr/bin/env bash
# How scripts/wow64-run fails: before Wine starts, a message and status 125
# for a missing root, no program, a missing file or Wine program, and a
# 32-bit program where the kernel runs no 32-bit code; the program's own
# status otherwise; the probe telling 32-bit code from a segment that cannot
# run it; a hanging program ended by its caller's timeout with nothing of its
# run left. Needs the root (scripts/setup.sh).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
run=$here/../wow64-run
source "$here/lib.sh"
dir=$(qz_wow64_dir) || { echo "no WoW64 root: run scripts/setup.sh"; exit 1; }
fails=0
expect() {  # expect STATUS PATTERN COMMAND...: the status, and PATTERN in what it printed
  local want=$1 pattern=$2 out rc; shift 2
  out=$("$@" 2>&1 </dev/null); rc=$?
  if [ "$rc" = "$want" ] && grep -qE -- "$pattern" <<<"$out"; then echo "ok: $* -> $rc"
  else echo "FAIL: $*: status $rc (want $want), printed: $out"; fails=$((fails + 1)); fi
}
expect 125 '^wow64-run: no Wine 10 root in /nonexistent \(run scripts/setup.sh\)$' \
  env QZ_WOW64_CACHE=/nonexistent "$run" cmd /c exit
expect 125 '^wow64-run: usage' "$run"
expect 125 '^wow64-run: no program /nonexistent/game\.exe$' "$run" /nonexistent/game.exe
expect 125 'neither a file nor one of Wine' "$run" no_such_program
expect 7 '' "$run" cmd /c exit 7
if "$dir/probe32" 2>/dev/null; then
  expect 0 '' "$dir/probe32"
else  # No 32-bit code on this kernel: a 32-bit program is refused, saying why.
  expect 125 'cannot run 32-bit code in a 64-bit process.*selector 0x23.*is 32-bit$' \
    "$run" "$dir/root/usr/lib/x86_64-linux-gnu/wine/i386-windows/cmd.exe" /c exit
fi
expect 1 'selector 0x2b\) ended with signal' "$dir/probe32" 0x2b

# A hang ends with its caller's timeout, and takes its wineserver along.
start=$(date +%s)
# (The run's processes carry a mark of this test in their environment: other
# tests may use the root meanwhile.)
mark=QZ_RUN_TEST_MARK=$$
expect 124 '' env "$mark" timeout -k 5 3 "$run" cmd /c "ping -n 60 127.0.0.1 >nul"
took=$(( $(date +%s) - start ))
[ "$took" -le 12 ] || { echo "FAIL: the timeout took ${took}s"; fails=$((fails + 1)); }
sleep 1
left=$(for p in /proc/[0-9]*; do
  [ "$(readlink "$p/root" 2>/dev/null)" = "$dir/root" ] && tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qx "$mark" &&
    echo "${p#/proc/} $(tr '\0' ' ' <"$p/cmdline")"
done)
[ -z "$left" ] || { echo "FAIL: processes in the root outlived the run:"; echo "$left"; fails=$((fails + 1)); }
echo "$fails failed"
[ "$fails" = 0 ]
