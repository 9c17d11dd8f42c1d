#!/usr/bin/env bash
# Midnight rotation, for real: the log driver runs under a fake clock that
# starts a few seconds before local midnight (libfaketime preloaded into
# wine64), writes before and after midnight, and the files are checked.
#   usage: midnight_test.sh WINE_RUN LOG_DRIVER_EXE
# QZ_FAKETIME_LIB: the libfaketime of the runner's word size (the VM lane's
# 32-bit Wine takes the i386 one); the 64-bit one by default.
set -u
wine_run=$1 driver=$2
preload=${QZ_FAKETIME_LIB:-/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1}
[ -f "$preload" ] || { echo "libfaketime is not installed ($preload)"; exit 1; }
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
cd "$dir"
pass=0 fail=0
check() { if eval "$2"; then pass=$((pass+1)); else echo "FAILED: $1"; fail=$((fail+1)); fi; }

# One record before midnight, one after: the second begins qzlog_1.txt.
LD_PRELOAD=$preload FAKETIME="@2026-03-14 23:59:57" TZ=UTC \
  "$wine_run" "$driver" init "log:0:before midnight" midnight "log:1:after midnight"
check "driver exit" '[ $? = 0 ]'
check "two files" '[ "$(ls qzlog_* | tr "\n" " ")" = "qzlog_0.txt qzlog_1.txt " ]'
check "before midnight in qzlog_0" 'grep -qaxE "23:59:5[0-9]: info - before midnight"$'"'"'\r'"'"' qzlog_0.txt && [ $(wc -l < qzlog_0.txt) = 1 ]'
check "after midnight in qzlog_1" 'grep -qaxE "00:00:0[0-9]: warning - after midnight"$'"'"'\r'"'"' qzlog_1.txt && [ $(wc -l < qzlog_1.txt) = 1 ]'

# Several records before midnight, then two after: only the first after
# midnight begins a new file; the next one joins it.
rm -f qzlog_*
LD_PRELOAD=$preload FAKETIME="@2026-03-14 23:59:57" TZ=UTC \
  "$wine_run" "$driver" init "log:0:a" "log:0:b" midnight "log:2:c" "log:2:d"
check "driver exit (2)" '[ $? = 0 ]'
check "two files (2)" '[ "$(ls qzlog_* | tr "\n" " ")" = "qzlog_0.txt qzlog_1.txt " ]'
check "two lines each" '[ $(wc -l < qzlog_0.txt) = 2 ] && [ $(wc -l < qzlog_1.txt) = 2 ]'

echo "midnight rotation: $pass passed, $fail failed"
[ $fail = 0 ]
