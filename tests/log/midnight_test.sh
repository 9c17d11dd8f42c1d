#!/usr/bin/env bash
# Midnight rotation, for real: the log driver runs under a fake clock
# (libfaketime preloaded into Wine) that shows the evening of 14 March 2026
# while the driver starts and writes its records before midnight; then the
# clock is set to a second before midnight, the driver waits until the local
# date changes and writes its records after midnight, and the files are
# checked. The clock is moved from here (a timestamp file the library reads
# again every second), so however long Wine takes to start, the records before
# midnight are written before it. Only the wall clock is faked: Wine's
# timeouts keep to the real one.
#   usage: midnight_test.sh WINE_RUN LOG_DRIVER_EXE
# QZ_FAKETIME_PRELOAD: what to preload for the runner's Wine (the VM lane's
# 32-bit Wine takes the i386 libfaketime, after a shim of its own); the 64-bit
# libfaketime by default.
set -u
wine_run=$1 driver=$2
preload=${QZ_FAKETIME_PRELOAD:-/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1}
for lib in $preload; do [ -f "$lib" ] || { echo "$lib is not installed"; exit 1; }; done
dir=$(mktemp -d) clock_dir=$(mktemp -d)
trap 'rm -rf "$dir" "$clock_dir"' EXIT
cd "$dir"
pass=0 fail=0
check() { if eval "$2"; then pass=$((pass+1)); else echo "FAILED: $1"; fail=$((fail+1)); fi; }

# set_clock "YYYY-MM-DD HH:MM:SS": from now on the fake clock (UTC) runs from that time.
clock=$clock_dir/clock
set_clock() {
  printf '%+d\n' $(( $(date -u -d "$1" +%s) - $(date -u +%s) )) >"$clock.new" && mv "$clock.new" "$clock"
}
set_clock "2026-03-14 23:00:00"

# The Wine server must not be started by the faked run: it would keep the fake
# clock for every program of the prefix after it. One run on the real clock
# first, so that the faked one finds a server.
"$wine_run" cmd /c exit >/dev/null 2>&1 </dev/null || true

# Two records before midnight, two after: the first after midnight begins
# qzlog_1.txt, the next one joins it.
LD_PRELOAD=$preload FAKETIME_TIMESTAMP_FILE=$clock FAKETIME_CACHE_DURATION=1 FAKETIME_DONT_FAKE_MONOTONIC=1 TZ=UTC \
  "$wine_run" "$driver" init "log:0:before midnight" "log:1:b" midnight "log:1:after midnight" "log:2:d" &
driver_pid=$!
for _ in $(seq 1200); do
  [ "$(grep -c . qzlog_0.txt 2>/dev/null)" = 2 ] && break
  kill -0 "$driver_pid" 2>/dev/null || break
  sleep 0.1
done
check "both records before midnight written" '[ "$(grep -c . qzlog_0.txt 2>/dev/null)" = 2 ]'
echo "records before midnight after ${SECONDS}s"
set_clock "2026-03-14 23:59:59"
wait "$driver_pid"
check "driver exit" '[ $? = 0 ]'
echo "driver done after ${SECONDS}s"
check "two files" '[ "$(ls qzlog_* | tr "\n" " ")" = "qzlog_0.txt qzlog_1.txt " ]'
cr=$'\r'
check "before midnight in qzlog_0" \
  'grep -qaxE "23:[0-5][0-9]:[0-5][0-9]: info - before midnight$cr" qzlog_0.txt &&
   grep -qaxE "23:[0-5][0-9]:[0-5][0-9]: warning - b$cr" qzlog_0.txt && [ $(wc -l < qzlog_0.txt) = 2 ]'
check "after midnight in qzlog_1" \
  '[ "$(sed -E "s/^00:00:0[0-9]: //" qzlog_1.txt)" = "warning - after midnight$cr"$'"'"'\n'"'"'"error - d$cr" ]'

echo "midnight rotation: $pass passed, $fail failed"
[ $fail = 0 ]
