#!/usr/bin/env bash
# Checks scripts/make-root.sh on a copy of the scripts and versions.env: each
# root's key changes with its recipe and nothing else, and qz_wow64_dir finds
# this key's root alone; a pinned version the suite does not serve stops the
# build early, naming both, leaving nothing in the cache (as root, reaching
# the mirror; QZ_ROOT_TEST_OFFLINE=1 leaves it out).
src=$(cd "$(dirname "$0")/.." && pwd)
source "$src/scripts/test-lib.sh"
tree=$tmp/tree
mkdir -p "$tree" && cp -a "$src/scripts" "$src/versions.env" "$tree/"
key() { "$tree/scripts/make-root.sh" --key "$1"; }
wow64=$(key wow64) vm=$(key vm)
check "keys are 12 hex digits" bash -c "[[ '$wow64' =~ ^[0-9a-f]{12}\$ && '$vm' =~ ^[0-9a-f]{12}\$ ]]"
check "the two roots have keys of their own" test "$wow64" != "$vm"
check "a key is the same when nothing changed" test "$(key wow64) $(key vm)" = "$wow64 $vm"

# changes WHAT EDIT WOW64 VM: after the shell command EDIT (run in the copy),
# the wow64 and vm keys have changed (1) or not (0); the copy is then put back.
changes() {
  cp -a "$tree" "$tmp/saved"; (cd "$tree" && eval "$2")
  same "$1 changes the keys wow64 vm: $3 $4" "$([ "$(key wow64)" != "$wow64" ] && echo 1 || echo 0) $([ "$(key vm)" != "$vm" ] && echo 1 || echo 0)" "$3 $4"
  rm -rf "$tree" && mv "$tmp/saved" "$tree"
}
changes "the recipe script" "echo '# a change' >>scripts/make-root.sh" 1 1
changes "the Wine environment" "sed -i 's/WINEDEBUG:--all/WINEDEBUG:-err+all/' scripts/wine.env" 1 1
changes "a toolchain pin" "sed -i 's/clang-19=1:19[^ ]*/clang-19=1:19.1.8-1/' versions.env" 1 0
changes "the guest's Wine pin" "sed -i 's/^QZ_VM_WINE=.*/QZ_VM_WINE=8.0.1~repack-1/' versions.env" 0 1
changes "the guest's PID 1" "echo '# a change' >>scripts/vm/guest-init" 0 1
changes "the archive mend" "echo '# a change' >>scripts/comdat-symbols.py" 1 0
changes "the 32-bit probe" "echo '/* a change */' >>scripts/wow64/probe32.c" 1 0
changes "Boost's version" "sed -i 's/^QZ_BOOST_VERSION=.*/QZ_BOOST_VERSION=1.83.0/' versions.env" 0 0
changes "a lane script" "echo '# a change' >>scripts/test.sh; echo '# a change' >>scripts/vm/run-lane.sh" 0 0

# qz_wow64_dir: the folder of this key, when it is complete; no other.
dir_of() { (QZ_WOW64_CACHE=$tmp/cache; source "$tree/scripts/wow64/lib.sh"; qz_wow64_dir); }
mkdir -p "$tmp/cache/wow64-$wow64" "$tmp/cache/wow64-0123456789ab" "$tmp/cache/wow64-trixie-wine10.0~repack-6-r3"
touch "$tmp/cache/wow64-0123456789ab/ready" "$tmp/cache/wow64-trixie-wine10.0~repack-6-r3/ready"
check "no root while this key's folder is unfinished" test -z "$(dir_of)"
touch "$tmp/cache/wow64-$wow64/ready"
check "the root of this key once it is ready" test "$(dir_of)" = "$tmp/cache/wow64-$wow64"

# refused WHAT EDIT PATTERN KIND: after EDIT of a copy's versions.env, the
# build fails within minutes, naming the pin and the version served.
refused() {
  local what=$1 edit=$2 pattern=$3 out rc start took copy; shift 3
  copy=$(mktemp -d "$tmp/pin.XXXX") && cp -a "$tree/." "$copy/" && sed -i "$edit" "$copy/versions.env"
  start=$(date +%s); out=$(QZ_WOW64_CACHE=$tmp/pins QZ_VM_CACHE=$tmp/pins "$copy/scripts/make-root.sh" "$@" 2>&1 </dev/null); rc=$?
  took=$(( $(date +%s) - start ))
  if [ "$rc" != 0 ] && grep -qE "$pattern" <<<"$out" && [ "$took" -lt 600 ]; then echo "ok: $what refused after ${took}s: $(grep -E "$pattern" <<<"$out")"
  else echo "FAIL: $what: status $rc after ${took}s, printed:"; sed 's/^/    | /' <<<"$out"; fi
}
if [ "${QZ_ROOT_TEST_OFFLINE:-}" = 1 ]; then
  echo "QZ_ROOT_TEST_OFFLINE=1: the refusals of pinned versions not checked"
elif [ "$(id -u)" != 0 ]; then
  fail "the refusals of pinned versions need root (or QZ_ROOT_TEST_OFFLINE=1)"
else
  mkdir -p "$tmp/pins"
  refused "a toolchain version Debian 13 does not serve" 's/clang-19=1:19[^ ]*/clang-19=1:19.0.0-0qz1/' \
    '^make-root: Debian trixie serves clang-19 1:[0-9][^ ]*, but versions.env pins 1:19\.0\.0-0qz1' wow64 >"$tmp/wow64.txt" &
  refused "a guest Wine version Debian 12 does not serve" 's/^QZ_VM_WINE=.*/QZ_VM_WINE=7.0~qz1/' \
    '^make-root: Debian bookworm serves wine32:i386 [0-9][^ ]*, but versions.env pins 7\.0~qz1' vm >"$tmp/vm.txt"
  wait
  cat "$tmp/wow64.txt" "$tmp/vm.txt"
  fails=$((fails + $(cat "$tmp/wow64.txt" "$tmp/vm.txt" | grep -c '^FAIL')))
  check "the refusals leave nothing but the locks" test -z "$(find "$tmp/pins" -mindepth 1 ! -name '*.lock')"
fi
qz_done "root recipe"
