#!/usr/bin/env bash
# Checks the guest's side of a run (guest-run.sh, xvfb.sh) here, under dash as
# in the guest, with stand-ins for Wine and the X server: each test runs with
# its own environment and display, a test script gets the runner and its files,
# a GoogleTest program writes its report, an X server that does not start
# is reported with its log while the tests that need it are not run, and a
# tour that prints the ALSA sound library's complaints fails.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
if [ -n "${KEEP:-}" ]; then echo "kept in $tmp"; else trap 'rm -rf "$tmp"' EXIT; fi
fails=0

# A payload as run-lane.sh stages it, with a stand-in runner that records how
# each program was started and fails the one named "failing.exe"; with
# QZ_TEST_ALSA set, every program also prints what the ALSA library prints
# when Wine's audio driver looks for a sound card that is not there.
qz=$tmp/qz
mkdir -p "$qz/bin" "$qz/src/tests/log"
cp "$here/guest-run.sh" "$here/xvfb.sh" "$qz/"
: >"$qz/bin/qzhost.exe"
echo 30 >"$qz/test-timeout"
cat >"$qz/wine-run" <<'W'
#!/bin/sh
# Stand-in runner: one line per start, with what a test sees.
printf '%s\n' "ran $* | cwd=$(basename "$PWD") TZ=${TZ:-} GTEST_FILTER=${GTEST_FILTER:-} needs=${QZ_NEEDS_DISPLAY:-} xdisplay=${QZ_XVFB_DISPLAY:-} faketime=${QZ_FAKETIME_PRELOAD:-}"
if [ -n "${QZ_TEST_ALSA:-}" ]; then
  echo "ALSA lib confmisc.c:855:(parse_card) cannot find card '0'" >&2
fi
case "$1" in *failing.exe) exit 3 ;; esac
exit 0
W
chmod +x "$qz/wine-run"
cat >"$qz/src/tests/log/clock_test.sh" <<'S'
#!/usr/bin/env bash
echo "script got: $*"
"$1" "$2" step
S
chmod +x "$qz/src/tests/log/clock_test.sh"
printf '%s\t%s\t%s\n' \
  plain plain.exe "" \
  filtered plain.exe "TZ=Asia/Tokyo GTEST_FILTER=Crc.Sparse*" \
  failing failing.exe "" \
  clock "tests/log/clock_test.sh driver.exe" "" \
  mouse mouse.exe "QZ_NEEDS_DISPLAY=1" >"$qz/tests.txt"
# A file the filter's pattern would match, were it taken as one.
: >"$qz/bin/GTEST_FILTER=Crc.Sparse-file"

# guest CASE [VAR=VALUE...]: one run under dash in $tmp/CASE; its console
# (the "qz-guest:" lines) in $tmp/CASE/console.
guest() {
  local name=$1; shift
  local dir=$tmp/$name
  mkdir -p "$dir"
  env "$@" QZ_GUEST_ROOT="$qz" QZ_GUEST_OUT="$dir/out" QZ_GUEST_RESULTS="$dir/results.tar" \
    dash -c 'say() { echo "qz-guest: $*" >>"$0/console"; }
             wine_bin=true wineserver_bin=true
             . "$QZ_GUEST_ROOT/guest-run.sh"' "$dir"
}
expect() {  # expect CASE WHAT COND...
  local name=$1 what=$2; shift 2
  if ! "$@"; then
    echo "FAIL [$name] $what"; sed 's/^/    | /' "$tmp/$name/console" 2>/dev/null; fails=$((fails + 1))
  fi
}
console_has() { grep -qF -- "$2" "$tmp/$1/console"; }
log_has() { grep -qF -- "$3" "$tmp/$1/out/$2.log"; }
# grep reads all of the list: with pipefail, tar killed by SIGPIPE after an early match would fail.
tar_has() { tar tf "$tmp/$1/results.tar" | grep -x -- "./$2" >/dev/null; }

# 1. A server that comes up (the real Xvfb): every test runs with its own environment.
if command -v Xvfb >/dev/null; then
  guest ok
  expect ok "server announced" console_has ok "qz-guest: xvfb on :"
  expect ok "a passing result" grep -qE '^qz-guest: result plain 0 [0-9.]+$' "$tmp/ok/console"
  expect ok "a failing result with its status" grep -qE '^qz-guest: result failing 3 ' "$tmp/ok/console"
  expect ok "GoogleTest report asked for, in bin" log_has ok plain 'ran ./plain.exe --gtest_output=xml:Z:'"$(echo "$tmp/ok/out/plain.xml" | tr / '\\')"' | cwd=bin'
  expect ok "no environment of another test" log_has ok plain "TZ= GTEST_FILTER= needs= "
  expect ok "the test's environment, the filter as written" log_has ok filtered "TZ=Asia/Tokyo GTEST_FILTER=Crc.Sparse* needs="
  expect ok "the script gets the runner and its files" log_has ok clock "script got: $qz/wine-run $qz/bin/driver.exe"
  expect ok "the script's runner sees the shim and the 32-bit libfaketime" log_has ok clock "faketime=$qz/lib/time64.so /usr/lib/i386-linux-gnu/faketime/libfaketime.so.1"
  expect ok "the display test gets the server" bash -c "grep -qE 'needs=1 xdisplay=:[0-9]+ ' '$tmp/ok/out/mouse.log'"
  expect ok "the tour runs last" bash -c "tail -n2 '$tmp/ok/console' | head -n1 | grep -qE '^qz-guest: result qzhost_tour 0 '"
  expect ok "results written" tar_has ok plain.log
  pid=$(sed -n 's/^qz-guest: xvfb on :[0-9]* (pid \([0-9]*\)).*/\1/p' "$tmp/ok/console")
  expect ok "the server stopped before the results are written" bash -c "[ -n '$pid' ] && ! kill -0 '$pid' 2>/dev/null"
else
  echo "FAIL Xvfb is not installed"; fails=$((fails + 1))
fi

# 2. Two workers: every test and the tour run once, each with its own result.
echo 2 >"$qz/jobs"
guest two
rm "$qz/jobs"
for n in plain filtered failing clock mouse qzhost_tour; do
  expect two "$n started once" test "$(grep -c "^qz-guest: start $n\( \|$\)" "$tmp/two/console")" = 1
  expect two "$n has one result" test "$(grep -c "^qz-guest: result $n " "$tmp/two/console")" = 1
done
expect two "results written after the last result" bash -c "tail -n1 '$tmp/two/console' | grep -qx 'qz-guest: results written'"

# 3. A server that ends at once: its failure and log, and the display test not run.
cat >"$tmp/broken-xvfb" <<'X'
#!/bin/sh
echo "Fatal server error: (EE) no screens found"
exit 1
X
chmod +x "$tmp/broken-xvfb"
guest broken QZ_XVFB="$tmp/broken-xvfb"
expect broken "failure reported" console_has broken "qz-guest: xvfb failed: Xvfb ended (status 1) before it took connections"
expect broken "its log on the console" console_has broken "qz-guest: xvfb log: Fatal server error: (EE) no screens found"
expect broken "the display test not run" console_has broken "qz-guest: result mouse nodisplay 0"
expect broken "the mouse test never started" test ! -e "$tmp/broken/out/mouse.log"
expect broken "the other tests still run" grep -qE '^qz-guest: result clock 0 ' "$tmp/broken/console"
expect broken "its log in the results" tar_has broken xvfb.log

# 4. A server that never takes connections: stopped at the limit.
cat >"$tmp/silent-xvfb" <<X
#!/bin/sh
echo \$\$ >"$tmp/silent.pid"
exec sleep 60
X
chmod +x "$tmp/silent-xvfb"
guest silent QZ_XVFB="$tmp/silent-xvfb" QZ_XVFB_WAIT=1
expect silent "failure reported" console_has silent "qz-guest: xvfb failed: Xvfb did not take connections within 1s"
expect silent "the server was stopped" bash -c "! kill -0 \$(cat '$tmp/silent.pid') 2>/dev/null"
expect silent "the display test not run" console_has silent "qz-guest: result mouse nodisplay 0"

# 5. Sound-system noise in the tour fails it, with a line saying why; in a
# test it is left to the test.
guest alsa QZ_TEST_ALSA=1 QZ_XVFB="$tmp/broken-xvfb"
expect alsa "the tour fails" console_has alsa "qz-guest: result qzhost_tour 1 "
expect alsa "its log says why" log_has alsa qzhost_tour "qzhost_tour: Wine loaded an audio driver (lines of the ALSA sound library above: 1)"
expect alsa "its log keeps the line" log_has alsa qzhost_tour "ALSA lib confmisc.c:855:(parse_card) cannot find card '0'"
expect alsa "a test's status stays its own" grep -qE '^qz-guest: result plain 0 ' "$tmp/alsa/console"
expect ok "a quiet tour gets no such line" bash -c "! grep -q '^qzhost_tour: ' '$tmp/ok/out/qzhost_tour.log' 2>/dev/null"

echo "guest run checks: $fails failed"
[ "$fails" = 0 ]
