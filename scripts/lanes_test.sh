#!/usr/bin/env bash
# How a lane run fails: compare-lanes.py names each test one lane lacks or
# judges otherwise (but what the preset leaves out), tests/lane_ready.sh what
# a lane lacks to start; the lanes are small CTest trees of true and false.
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/test-lib.sh"
expect() {  # expect WHAT COMMAND...: COMMAND's output has each line of $want
  local what=$1 out line; shift
  out=$("$@" 2>&1)
  while IFS= read -r line; do
    grep -qF -- "$line" <<<"$out" || { fail "$what: no '$line' in:"; sed 's/^/  | /' <<<"$out"; }
  done <<<"$want"
}
# tree DIR NAME=true|false...: a CTest tree of behaviour tests.
tree() {
  local dir=$1 t; shift; mkdir -p "$dir"
  for t in "$@"; do printf 'add_test(%s %s)\nset_tests_properties(%s PROPERTIES LABELS behaviour)\n' "${t%=*}" "${t#*=}" "${t%=*}"; done >"$dir/CTestTestfile.cmake"
  ctest --test-dir "$dir" --output-junit "$dir/junit.xml" >/dev/null 2>&1
}
cat >"$tmp/CMakePresets.json" <<'J'
{ "version": 6,
  "configurePresets": [{ "name": "x86_64", "binaryDir": "${sourceDir}/x86_64" },
                       { "name": "i686", "binaryDir": "${sourceDir}/i686" }],
  "testPresets": [{ "name": "x86_64", "configurePreset": "x86_64" },
                  { "name": "vm", "configurePreset": "i686",
                    "filter": { "exclude": { "name": "^slow$" } } }] }
J
compare() { python3 "$root/scripts/compare-lanes.py" vm "$tmp/x86_64/junit.xml" "$tmp/i686/junit.xml" "$tmp"; }

tree "$tmp/x86_64" same=true fails=false slow=true
tree "$tmp/i686" same=true fails=false slow=true
want="compare vm: 2 tests beside their x86_64 verdicts, 0 differences; left out here: 1"
expect "same lanes" compare
compare >/dev/null || fail "same lanes: compare failed"

tree "$tmp/x86_64" same=true fails=false slow=true gone=true
tree "$tmp/i686" same=true fails=true slow=true extra=true
want="compare vm: fails: passed in the vm lane, failed in the x86_64 lane
compare vm: gone: only in the x86_64 lane
compare vm: extra: only in the vm lane
3 differences"
expect "differing lanes" compare
compare >/dev/null && fail "differing lanes: compare passed"

rm "$tmp/i686/junit.xml"; tree "$tmp/i686" same=true fails=false slow=true
echo '<testsuite/>' >"$tmp/i686/junit.xml"
want="compare vm: same: no verdict in the vm lane, passed in the x86_64 lane"
expect "a lane without verdicts" compare

want="the lane's Wine (/bin/false, QZ_WINE=/nowhere/wine) cannot run a program"
expect "a Wine that cannot start" env QZ_WINE=/nowhere/wine "$root/tests/lane_ready.sh" wine /bin/false
want="no X server for the display tests: no DISPLAY"
expect "no X server" env -u DISPLAY "$root/tests/lane_ready.sh" display
want="the X server :4242 is gone"
expect "an X server gone" env DISPLAY=:4242 "$root/tests/lane_ready.sh" display

# A lane that cannot run at all: one failed test in its JUnit report, saying why.
"$root/scripts/lane-failed.sh" i686-vm 'vm: no guest image & no <build>' "$tmp/lane.xml"
want='<testcase name="i686_vm_lane" classname="i686_vm_lane"
status="fail"
vm: no guest image &amp; no &lt;build&gt;'
expect "a lane that cannot run" cat "$tmp/lane.xml"
same "a lane that cannot run: test cases" "$(grep -c '<testcase ' "$tmp/lane.xml")" 1
qz_done "lane failures"
