#!/usr/bin/env bash
# report.sh MANIFEST OUT QEMU_STATUS LIMIT SECONDS [X86_64_JUNIT [X86_64_LIST]]
#   Judges one run of the guest from what it left in OUT: console.log (the
#   guest's "qz-guest: result NAME STATUS SECONDS" lines) and results/ (each
#   test's output and GoogleTest report). Prints one CTest-like line per test
#   of MANIFEST and for the demo tour, with the test's verdict in the x86_64
#   lane beside it when that lane's JUnit report (ctest --output-junit) is
#   given; the output and failed cases of every test that did not pass; the
#   console when the guest did not finish; the X server's log when it did not
#   start; and "N tests failed out of M". Writes the verdicts as a JUnit report
#   (one test case per test, as ctest writes it) to OUT/junit.xml.
#
#   A listed test with no result line did not run and counts as failed. A test
#   whose verdict differs from the x86_64 lane's, or that only one lane has
#   (X86_64_LIST: that lane's list of tests, vm-tests.txt of its build), fails
#   the lane. Exits 0 only when every test passed with the same verdict in both
#   lanes and the guest wrote its results.
set -uo pipefail
manifest=$1 out=$2 rc=$3 limit=$4 secs_total=${5:-0} x64_junit=${6:-} x64_list=${7:-}
console=$out/console.log
[ -f "$console" ] || : >"$console"
guest_lines() { grep -a '^qz-guest: ' "$console" | tr -d '\r'; }

mapfile -t names < <(cut -f1 "$manifest" | grep .; echo qzhost_tour)
total=${#names[@]} failed=0 i=0
failed_names=()
declare -A verdict_of secs_of

# The x86_64 lane's verdicts, from its JUnit report: status "run" is a pass.
declare -A x64_of
compare=0
if [ -n "$x64_junit" ]; then
  if [ -f "$x64_junit" ]; then
    compare=1
    while read -r n s; do
      case "$s" in run) x64_of[$n]=Passed ;; fail) x64_of[$n]=Failed ;; *) x64_of[$n]="Not Run" ;; esac
    done < <(grep -ao '<testcase [^>]*>' "$x64_junit" |
      sed -nE 's/.* name="([^"]*)".* status="([^"]*)".*/\1 \2/p')
  else
    echo "vm: no x86_64 lane report ($x64_junit): the verdicts are not compared"
  fi
fi
x64_verdict() {  # the x86_64 lane's word for a test, or empty for the tour (this lane only)
  [ "$compare" = 1 ] && [ "$1" != qzhost_tour ] || return 0
  echo "${x64_of[$1]:-absent}"
}
pass_fail() { [ "$1" = Passed ] && echo pass || echo fail; }

for n in "${names[@]}"; do
  i=$((i + 1))
  line=$(guest_lines | grep -aF "qz-guest: result $n " | tail -n1)
  status="Not Run" secs=0
  if [ -n "$line" ]; then
    read -r _ _ _ code secs _ <<<"$line"
    case "$code" in
      0) status=Passed ;;
      124|137) status="***Timeout" ;;
      nodisplay) status="***Not Run (no X server)" ;;
      *) status="***Failed (exit $code)" ;;
    esac
  fi
  verdict_of[$n]=$status secs_of[$n]=${secs:-0}
  dots=$(( 40 - ${#n} )); [ "$dots" -gt 2 ] || dots=3
  # GoogleTest's own count, from its report (the first element's totals).
  cases=""
  xml=$out/results/$n.xml
  if [ -f "$xml" ]; then
    cases=$(grep -aom1 '<testsuites [^>]*' "$xml" |
      sed -nE 's/.* tests="([0-9]+)" failures="([0-9]+)".*/   (\1 cases, \2 failed)/p')
  fi
  x=$(x64_verdict "$n")
  printf '%*d/%d Test #%d: %s %s %s %8s sec%s%s\n' "${#total}" "$i" "$total" "$i" "$n" \
    "$(printf '%*s' "$dots" '' | tr ' ' .)" "$status" "${secs:-0}" "$cases" "${x:+   [x86_64: $x]}"
  if [ "$status" != Passed ]; then
    failed=$((failed + 1)); failed_names+=("$n")
    if [ -f "$xml" ]; then
      # The failed cases by name: the test cases that hold a failure element.
      awk '/<testcase / { match($0, /name="[^"]*"/); c = substr($0, RSTART + 6, RLENGTH - 7) }
           /<testsuite / { match($0, /name="[^"]*"/); s = substr($0, RSTART + 6, RLENGTH - 7) }
           /<failure / && !seen[s "." c]++ { print "     failed case: " s "." c }' "$xml"
    fi
    if [ -f "$out/results/$n.log" ]; then
      echo "---- $n output (last 60 lines of $out/results/$n.log)"
      tail -n 60 "$out/results/$n.log"; echo "----"
    fi
  fi
done

# Both lanes, test by test: the same verdict, and the same tests.
differ=0
if [ "$compare" = 1 ]; then
  diffs=()
  for n in "${names[@]}"; do
    x=$(x64_verdict "$n")
    [ -n "$x" ] || continue
    [ "$(pass_fail "$x")" = "$(pass_fail "${verdict_of[$n]}")" ] && [ "$x" != absent ] ||
      diffs+=("$n (x86_64 $x, i686 ${verdict_of[$n]#\*\*\*})")
  done
  if [ -n "$x64_list" ] && [ -f "$x64_list" ]; then
    while IFS= read -r n; do
      [ -n "${verdict_of[$n]:-}" ] || diffs+=("$n (x86_64 ${x64_of[$n]:-listed}, not in this lane)")
    done < <(cut -f1 "$x64_list" | grep .)
  fi
  if [ ${#diffs[@]} = 0 ]; then
    echo "vm: every test has the same verdict in the x86_64 lane"
  else
    differ=1
    echo "vm: verdicts that differ from the x86_64 lane:"; printf '\t%s\n' "${diffs[@]}"
  fi
fi

vm_failed=0
xvfb_error=$(guest_lines | sed -n 's/^qz-guest: xvfb failed: //p' | tail -n1)
if [ -n "$xvfb_error" ]; then
  echo "vm: the X server did not start in the guest: $xvfb_error"
  echo "---- its log"
  guest_lines | sed -n 's/^qz-guest: xvfb log: //p'
  echo "----"
  vm_failed=1
fi
if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
  echo "vm: the guest did not finish within ${limit}s and was killed"; vm_failed=2
elif ! grep -aq '^qz-guest: results written' "$console"; then
  echo "vm: the guest ended (status $rc) before writing its results"; vm_failed=2
fi
if [ "$vm_failed" = 2 ]; then
  echo "---- guest console (last 150 lines of $console)"
  tail -n 150 "$console" | tr -d '\r'
  echo "----"
fi

# The verdicts as data, in the shape of ctest's JUnit report.
xml_escape() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g' <<<"$1"; }
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo "<testsuite name=\"${QZ_LANE_NAME:-i686-vm}\" tests=\"$total\" failures=\"$failed\" disabled=\"0\" skipped=\"0\" time=\"$secs_total\">"
  for n in "${names[@]}"; do
    v=${verdict_of[$n]}
    if [ "$v" = Passed ]; then
      echo "  <testcase name=\"$n\" classname=\"$n\" time=\"${secs_of[$n]}\" status=\"run\"/>"
    else
      echo "  <testcase name=\"$n\" classname=\"$n\" time=\"${secs_of[$n]}\" status=\"fail\">"
      echo "    <failure message=\"$(xml_escape "${v#\*\*\*}")\"/>"
      echo "  </testcase>"
    fi
  done
  echo "</testsuite>"
} >"$out/junit.xml"

echo
if [ "$failed" = 0 ]; then pct=100; else pct=$(( (total - failed) * 100 / total )); fi
echo "$pct% tests passed, $failed tests failed out of $total"
echo "Total Test time (real) = $secs_total sec (logs in $out/results)"
if [ "$failed" != 0 ]; then
  echo "The following tests FAILED:"; printf '\t%s\n' "${failed_names[@]}"
fi
[ "$failed" = 0 ] && [ "$vm_failed" = 0 ] && [ "$differ" = 0 ]
