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
  "$here/report.sh" "$tmp/manifest" "$tmp/$name" "$rc" 20 7 "${X64_JUNIT:-}" "${X64_LIST:-}" >"$tmp/$name.txt" 2>&1
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

printf 'log\tlog.exe\t\nlog_test\tlog_test.exe\tTZ=UTC\n' >"$tmp/manifest"
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
cat >"$tmp/failing/results/log_test.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="3" failures="1" disabled="0" errors="0" time="2.1" name="AllTests">
  <testsuite name="LogTest" tests="3" failures="1" disabled="0" errors="0" time="1.0">
    <testcase name="Writes" status="run" result="completed" time="0.1" classname="LogTest" />
    <testcase name="Rotates" status="run" result="completed" time="0.2" classname="LogTest">
      <failure message="expected 3 files" type=""><![CDATA[log_test.cpp:10
expected 3 files]]></failure>
      <failure message="and a second one" type=""><![CDATA[log_test.cpp:11]]></failure>
    </testcase>
    <testcase name="Reopens" status="run" result="completed" time="0.1" classname="LogTest" />
  </testsuite>
</testsuites>
XML
run_case failing 0
expect failing "exit status non-zero" test "$status" != 0
expect failing "count line" has failing "66% tests passed, 1 tests failed out of 3"
expect failing "verdict" has failing "***Failed (exit 1)"
expect failing "the test's output" has failing "LogTest.Rotates (expected 3 files)"
expect failing "the failed list" bash -c "grep -A3 'tests FAILED' '$tmp/failing.txt' | grep -qx \$'\\tlog_test'"
expect failing "no output shown for a test that passed" lacks failing "---- log output"
expect failing "the failed case named once" bash -c "[ \$(grep -c 'failed case: LogTest.Rotates\$' '$tmp/failing.txt') = 1 ]"
expect failing "no passing case named" lacks failing "LogTest.Writes"
expect failing "JUnit report: the failure" grep -q '<testcase name="log_test" classname="log_test" time="2.0" status="fail">' "$tmp/failing/junit.xml"
expect failing "JUnit report: the pass" grep -q '<testcase name="log" classname="log" time="1.0" status="run"/>' "$tmp/failing/junit.xml"
expect failing "JUnit report: the totals" grep -q '<testsuite name="i686-vm" tests="3" failures="1" ' "$tmp/failing/junit.xml"
expect failing "JUnit report: the reason" grep -q '<failure message="Failed (exit 1)"/>' "$tmp/failing/junit.xml"

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

# 7. Verdicts compared with the x86_64 lane's JUnit report (ctest's shape).
x64_junit() {  # x64_junit STATUS_OF_LOG STATUS_OF_LOG_TEST
  cat >"$tmp/x64.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<testsuite name="Win32-ninja"
	tests="3"
	failures="0"
	>
	<testcase name="log" classname="log" time="0.52" status="$1">
		<system-out>&lt;testcase name="log_test" status="fail"&gt;</system-out>
	</testcase>
	<testcase name="log_test" classname="log_test" time="1.10" status="$2">
		<failure message=""/>
	</testcase>
	<testcase name="static_dll_tables" classname="static_dll_tables" time="0.5" status="run">
	</testcase>
</testsuite>
EOF
}
x64_junit run fail
X64_JUNIT=$tmp/x64.xml run_case ok 0
expect ok "a difference fails the lane" test "$status" != 0
expect ok "difference named" has ok "log_test (x86_64 Failed, i686 Passed)"
expect ok "each test's verdict in both lanes" bash -c "$(declare -f line_of); tmp=$tmp; line_of ok log | grep -q 'Passed .*\\[x86_64: Passed\\]\$' && line_of ok log_test | grep -q 'Passed .*\\[x86_64: Failed\\]\$'"
expect ok "the tour has no x86_64 verdict" bash -c "$(declare -f line_of); tmp=$tmp; ! line_of ok qzhost_tour | grep -q x86_64"
expect ok "the same verdict is no difference" lacks ok "log (x86_64"
x64_junit run run
X64_JUNIT=$tmp/x64.xml run_case ok 0
expect ok "agreement passes" test "$status" = 0
expect ok "agreement" has ok "every test has the same verdict in the x86_64 lane"
x64_junit notrun run
X64_JUNIT=$tmp/x64.xml run_case ok 0
expect ok "a test the x86_64 lane did not run differs" has ok "log (x86_64 Not Run, i686 Passed)"
sed -i '/name="log_test"/,/<\/testcase>/d' "$tmp/x64.xml"
X64_JUNIT=$tmp/x64.xml run_case ok 0
expect ok "a test the x86_64 lane lacks differs" has ok "log_test (x86_64 absent, i686 Passed)"
expect ok "and fails the lane" test "$status" != 0
x64_junit run run
printf 'log\tlog.exe\t\nlog_test\tlog_test.exe\t\nlog_midnight_test\tmidnight.sh\t\n' >"$tmp/x64-list"
X64_JUNIT=$tmp/x64.xml X64_LIST=$tmp/x64-list run_case ok 0
expect ok "a test only the x86_64 lane has differs" has ok "log_midnight_test (x86_64 listed, not in this lane)"
expect ok "and fails the lane" test "$status" != 0
X64_JUNIT=$tmp/missing.xml run_case ok 0
expect ok "no x86_64 report: said, and nothing compared" has ok "no x86_64 lane report ($tmp/missing.xml)"
expect ok "no x86_64 report: the lane's own verdicts stand" test "$status" = 0

# 8. An empty list still runs (and judges) the demo tour.
: >"$tmp/manifest"
guest tour <<'EOF'
qz-guest: result qzhost_tour 3 0.2
qz-guest: results written
EOF
run_case tour 0
expect tour "exit status non-zero" test "$status" != 0
expect tour "count line" has tour "0% tests passed, 1 tests failed out of 1"

# 9. The guest's X server did not start: its reason and log, the display test not run.
printf 'log\tlog.exe\t\nmouse\tmouse.exe\tQZ_NEEDS_DISPLAY=1\n' >"$tmp/manifest"
guest noxvfb <<'EOF'
qz-guest: payload ok, 2 tests
qz-guest: xvfb failed: Xvfb ended (status 1) before it took connections
qz-guest: xvfb log: (EE) Fatal server error:
qz-guest: xvfb log: (EE) Cannot establish any listening sockets
qz-guest: result log 0 1.0
qz-guest: result mouse nodisplay 0
qz-guest: result qzhost_tour 0 0.5
qz-guest: results written
EOF
run_case noxvfb 0
expect noxvfb "exit status non-zero" test "$status" != 0
expect noxvfb "reason" has noxvfb "vm: the X server did not start in the guest: Xvfb ended (status 1) before it took connections"
expect noxvfb "its log" bash -c "grep -A3 -- '---- its log' '$tmp/noxvfb.txt' | grep -qx '(EE) Cannot establish any listening sockets'"
expect noxvfb "display test not run" bash -c "grep -E 'Test #2: mouse \\.+ \\*\\*\\*Not Run \\(no X server\\)' '$tmp/noxvfb.txt' >/dev/null"
expect noxvfb "count line" has noxvfb "1 tests failed out of 3"

echo "report checks: $fails failed"
[ "$fails" = 0 ]
