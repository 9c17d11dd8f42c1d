#!/usr/bin/env bash
# Checks how the i686 lane judges a guest run (report.sh), on made-up guest
# consoles: every way a run can go wrong must end in a failure that names the
# test, and only a complete run passes.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fails=0

# run_case NAME QEMU_STATUS: runs report.sh on $tmp/NAME (console.log,
# results/), leaving its output in $tmp/NAME.txt and its status in $status.
run_case() {
  local name=$1 rc=$2
  "$here/report.sh" "$tmp/manifest" "$tmp/$name" "$rc" 20 "${X64_LOG:-}" 7 >"$tmp/$name.txt" 2>&1
  status=$?
}
expect() {  # expect CASE WHAT COND...: COND is a command; reports CASE's output when it fails
  local name=$1 what=$2; shift 2
  if ! "$@"; then
    echo "FAIL [$name] $what"; sed 's/^/    | /' "$tmp/$name.txt"; fails=$((fails + 1))
  fi
}
has() { grep -qF -- "$2" "$tmp/$1.txt"; }
lacks() { ! grep -qF -- "$2" "$tmp/$1.txt"; }
line_of() { grep -E "Test #[0-9]+: $2 " "$tmp/$1.txt"; }

printf 'log\tlog.exe\nlog_test\tlog_test.exe\n' >"$tmp/manifest"
guest() {  # guest CASE: makes the case's folder with the console from stdin
  mkdir -p "$tmp/$1/results"; cat >"$tmp/$1/console.log"
}

# 1. Everything passes.
guest ok <<'EOF'
[    1.0] kernel noise
qz-guest: up, mode=run
qz-guest: start log
qz-guest: result log 0 1.25
qz-guest: start log_test
qz-guest: result log_test 0 2.50
qz-guest: result qzhost_tour 0 0.75
qz-guest: results written
qz-guest: power off
EOF
cat >"$tmp/ok/results/log_test.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="12" failures="0" disabled="0" errors="0" time="2.1" name="AllTests">
  <testsuite name="LogTest" tests="5" failures="0" disabled="0" errors="0" time="1.0">
XML
run_case ok 0
expect ok "exit status 0" test "$status" = 0
expect ok "GoogleTest's count" bash -c "grep -E 'Test #2: log_test .* sec +\(12 cases, 0 failed\)' '$tmp/ok.txt' >/dev/null"
expect ok "no count without a report" bash -c "! grep -E 'Test #1: log .*cases' '$tmp/ok.txt' >/dev/null"
expect ok "count line" has ok "100% tests passed, 0 tests failed out of 3"
expect ok "per-test lines" bash -c "$(declare -f line_of); tmp=$tmp; line_of ok log | grep -q 'Passed *1.25 sec' && line_of ok log_test | grep -q 'Passed *2.50 sec' && line_of ok qzhost_tour | grep -q Passed"

# 2. A test fails: its exit code and output are shown; the count says so.
guest failing <<'EOF'
qz-guest: up, mode=run
qz-guest: result log 0 1.0
qz-guest: result log_test 1 2.0
qz-guest: result qzhost_tour 0 0.5
qz-guest: results written
EOF
echo "[  FAILED  ] LogTest.Rotates (expected 3 files)" >"$tmp/failing/results/log_test.log"
run_case failing 0
expect failing "exit status non-zero" test "$status" != 0
expect failing "count line" has failing "66% tests passed, 1 tests failed out of 3"
expect failing "verdict" has failing "***Failed (exit 1)"
expect failing "the test's output" has failing "LogTest.Rotates (expected 3 files)"
expect failing "the failed list" bash -c "grep -A3 'tests FAILED' '$tmp/failing.txt' | grep -qx \$'\\tlog_test'"
expect failing "no output shown for a test that passed" lacks failing "---- log output"

# 3. A result for log_test is not one for log (prefix of its name); CRs from
#    the serial line are dropped; a result buried in a kernel line is not one.
guest prefix <<EOF
qz-guest: up, mode=run
qz-guest: result log_test 0 2.0$(printf '\r')
[   3.1] oops qz-guest: result log 0 1.0
qz-guest: result qzhost_tour 0 0.5$(printf '\r')
qz-guest: results written$(printf '\r')
EOF
run_case prefix 0
expect prefix "log did not run" bash -c "grep -E 'Test #1: log \\.+ Not Run' '$tmp/prefix.txt' >/dev/null"
expect prefix "log_test passed" bash -c "grep -E 'Test #2: log_test \\.+ Passed' '$tmp/prefix.txt' >/dev/null"
expect prefix "count line" has prefix "1 tests failed out of 3"
expect prefix "exit status non-zero" test "$status" != 0

# 4. The guest dies half-way: what never ran fails, and the console is shown.
guest died <<'EOF'
qz-guest: up, mode=run
qz-guest: result log 0 1.0
qz-guest: start log_test
[   9.9] Kernel panic - not syncing: Attempted to kill init!
EOF
run_case died 0
expect died "exit status non-zero" test "$status" != 0
expect died "count line" has died "2 tests failed out of 3"
expect died "not run" bash -c "grep -E 'log_test \\.+ Not Run' '$tmp/died.txt' >/dev/null"
expect died "reason" has died "before writing its results"
expect died "console shown" has died "Kernel panic - not syncing"

# 5. The guest is killed at the time limit; a test killed at its own limit.
guest hung <<'EOF'
qz-guest: up, mode=run
qz-guest: result log 124 300.00
qz-guest: start log_test
EOF
run_case hung 124
expect hung "exit status non-zero" test "$status" != 0
expect hung "reason" has hung "did not finish within 20s and was killed"
expect hung "per-test timeout" bash -c "grep -E 'Test #1: log \\.+ \\*\\*\\*Timeout' '$tmp/hung.txt' >/dev/null"
expect hung "count line" has hung "3 tests failed out of 3"

# 6. Every result there but the results disk never written: still a failure.
guest nowrite <<'EOF'
qz-guest: result log 0 1.0
qz-guest: result log_test 0 1.0
qz-guest: result qzhost_tour 0 1.0
EOF
run_case nowrite 0
expect nowrite "exit status non-zero" test "$status" != 0
expect nowrite "count line" has nowrite "0 tests failed out of 3"

# 7. Verdicts compared with the x86_64 lane's CTest log.
cat >"$tmp/x64.log" <<'EOF'
1/3 Test #1: log ..............................   Passed    0.52 sec
2/3 Test #2: log_test .........................***Failed    1.10 sec
3/3 Test #3: log_midnight_test ................   Passed    3.00 sec
EOF
X64_LOG=$tmp/x64.log run_case ok 0
expect ok "difference named" has ok "verdicts that differ from the x86_64 lane: log_test (x86_64 Failed, i686 Passed)"
expect ok "same log verdict not listed" lacks ok "log (x86_64"
sed -i 's/\*\*\*Failed/   Passed/' "$tmp/x64.log"
X64_LOG=$tmp/x64.log run_case ok 0
expect ok "agreement" has ok "same verdicts in both"

# 8. An empty list still runs (and judges) the demo tour.
: >"$tmp/manifest"
guest tour <<'EOF'
qz-guest: result qzhost_tour 3 0.2
qz-guest: results written
EOF
run_case tour 0
expect tour "exit status non-zero" test "$status" != 0
expect tour "count line" has tour "0% tests passed, 1 tests failed out of 1"

echo "report checks: $fails failed"
[ "$fails" = 0 ]
