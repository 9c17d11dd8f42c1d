#!/usr/bin/env bash
# report.sh MANIFEST OUT QEMU_STATUS LIMIT [X86_64_LANE_LOG] [SECONDS]
#   Judges one run of the guest from what it left in OUT: console.log (the
#   guest's "qz-guest: result NAME STATUS SECONDS" lines) and results/ (each
#   test's output). Prints one CTest-like line per test of MANIFEST and for the
#   demo tour, the output of every test that did not pass, the console when the
#   guest did not finish, and "N tests failed out of M". A listed test with no
#   result line did not run and counts as failed. Exits 0 only when every test
#   passed and the guest wrote its results.
set -uo pipefail
manifest=$1 out=$2 rc=$3 limit=$4 x64_log=${5:-} secs_total=${6:-}
console=$out/console.log
[ -f "$console" ] || : >"$console"

mapfile -t names < <(cut -f1 "$manifest" | grep .; echo qzhost_tour)
total=${#names[@]} failed=0 i=0
failed_names=()
declare -A result_of
for n in "${names[@]}"; do
  i=$((i + 1))
  line=$(grep -aF "qz-guest: result $n " "$console" | grep -a "^qz-guest: " | tail -n1 | tr -d '\r')
  status="Not Run" secs=0
  if [ -n "$line" ]; then
    read -r _ _ _ code secs _ <<<"$line"
    case "$code" in
      0) status=Passed ;;
      124|137) status="***Timeout" ;;
      *) status="***Failed (exit $code)" ;;
    esac
  fi
  result_of[$n]=$status
  dots=$(( 40 - ${#n} )); [ "$dots" -gt 2 ] || dots=3
  # GoogleTest's own count, from its report (the first element's totals).
  cases=""
  if [ -f "$out/results/$n.xml" ]; then
    cases=$(grep -aom1 '<testsuites [^>]*' "$out/results/$n.xml" |
      sed -nE 's/.* tests="([0-9]+)" failures="([0-9]+)".*/   (\1 cases, \2 failed)/p')
  fi
  printf '%*d/%d Test #%d: %s %s %s %8s sec%s\n' "${#total}" "$i" "$total" "$i" "$n" \
    "$(printf '%*s' "$dots" '' | tr ' ' .)" "$status" "${secs:-0}" "$cases"
  if [ "$status" != Passed ]; then
    failed=$((failed + 1)); failed_names+=("$n")
    if [ -f "$out/results/$n.log" ]; then
      echo "---- $n output (last 60 lines of $out/results/$n.log)"
      tail -n 60 "$out/results/$n.log"; echo "----"
    fi
  fi
done

# The same tests in the x86_64 lane (when it ran in this tree): same verdicts?
if [ -n "$x64_log" ] && [ -f "$x64_log" ]; then
  diffs=()
  for n in "${names[@]}"; do
    x=$(grep -aE "Test +#[0-9]+: $n [ .*]" "$x64_log" | tail -n1)
    [ -n "$x" ] || continue
    if grep -qE ' Passed +[0-9.]+ sec' <<<"$x"; then xs=Passed; else xs=Failed; fi
    if [ "${result_of[$n]}" = Passed ]; then vs=Passed; else vs=Failed; fi
    [ "$xs" = "$vs" ] || diffs+=("$n (x86_64 $xs, i686 $vs)")
  done
  if [ ${#diffs[@]} = 0 ]; then echo "vm: the tests both lanes ran have the same verdicts in both"
  else echo "vm: verdicts that differ from the x86_64 lane: ${diffs[*]}"; fi
fi

vm_failed=0
if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
  echo "vm: the guest did not finish within ${limit}s and was killed"; vm_failed=1
elif ! grep -aq '^qz-guest: results written' "$console"; then
  echo "vm: the guest ended (status $rc) before writing its results"; vm_failed=1
fi
if [ "$vm_failed" = 1 ]; then
  echo "---- guest console (last 150 lines of $console)"
  tail -n 150 "$console" | tr -d '\r'
  echo "----"
fi

echo
if [ "$failed" = 0 ]; then pct=100; else pct=$(( (total - failed) * 100 / total )); fi
echo "$pct% tests passed, $failed tests failed out of $total"
[ -z "$secs_total" ] || echo "Total Test time (real) = $secs_total sec (logs in $out/results)"
if [ "$failed" != 0 ]; then
  echo "The following tests FAILED:"; printf '\t%s\n' "${failed_names[@]}"
fi
[ "$failed" = 0 ] && [ "$vm_failed" = 0 ]
