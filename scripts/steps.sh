# Sourced by setup.sh, build.sh and test.sh. qz_step LABEL LOG COMMAND...:
#   "LABEL ... built in 1m52s" (QZ_STEP_VERB for "built"; "cached" when LOG,
#   COMMAND's output, says ": cached"), or "LABEL ... FAILED after 12s (status
#   1)", LOG's last 40 lines, its path and COMMAND's status.
qz_took() { if [ "$1" -ge 60 ]; then printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); else printf '%ds' "$1"; fi; }  # "1m52s"
qz_step() {
  local label=$1 log=$2 start=$SECONDS rc=0; shift 2
  mkdir -p "$(dirname "$log")"; printf '%s ... ' "$label"
  "$@" >"$log" 2>&1 </dev/null || rc=$?
  local took; took=$(qz_took $((SECONDS - start)))
  if [ "$rc" != 0 ]; then
    echo "FAILED after $took (status $rc)"; echo "---- the last 40 lines of $log:"
    tail -n 40 "$log"; echo "---- all of it: $log"
    return "$rc"
  fi
  if grep -q ': cached' "$log"; then echo cached; else echo "${QZ_STEP_VERB:-built} in $took"; fi
}
