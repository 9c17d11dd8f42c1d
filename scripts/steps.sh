# Sourced by setup.sh, build.sh and demo.sh: a long job as a few steps, one
# line each on the terminal, every step's whole output in a log file of its
# own.
#
# qz_step LABEL LOG COMMAND...
#   Prints "LABEL ... built in 1m52s" (or "... cached" when the step found
#   its work done: a line of its log says ": cached"; QZ_STEP_VERB in place
#   of "built"), with COMMAND's output
#   in LOG. When COMMAND fails: "LABEL ... FAILED after 12s (status 1)",
#   the last 40 lines of LOG and its path, and COMMAND's status.
qz_took() {  # qz_took SECONDS: "7s", "1m52s"
  if [ "$1" -ge 60 ]; then printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); else printf '%ds' "$1"; fi
}
qz_step() {
  local label=$1 log=$2 start=$SECONDS rc=0; shift 2
  mkdir -p "$(dirname "$log")"
  printf '%s ... ' "$label"
  "$@" >"$log" 2>&1 </dev/null || rc=$?
  local took; took=$(qz_took $((SECONDS - start)))
  if [ "$rc" != 0 ]; then
    echo "FAILED after $took (status $rc)"
    echo "---- the last 40 lines of $log:"
    tail -n 40 "$log"
    echo "---- all of it: $log"
    return "$rc"
  fi
  if grep -q ': cached' "$log"; then echo cached; else echo "${QZ_STEP_VERB:-built} in $took"; fi
}
