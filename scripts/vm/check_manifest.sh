#!/usr/bin/env bash
# check_manifest.sh MANIFEST BIN SRC: the i686 lane's list of tests is usable:
# "NAME<tab>PROGRAM [FILES...]<tab>[VAR=VALUE ...]" lines, names unique, each
# program built in BIN (or a script in the source tree SRC), each file built in
# BIN; BIN has the DLL and the demo host the lane also copies into the guest;
# and no case is left out: a GoogleTest filter that leaves cases out of one run
# of a program names only cases that another run of it takes.
set -uo pipefail
manifest=$1 bin=$2 src=${3:-} fail=0
[ -f "$manifest" ] || { echo "no $manifest"; exit 1; }
for f in qzutilities.dll qzhost.exe; do [ -f "$bin/$f" ] || { echo "missing $bin/$f"; fail=1; }; done
n=0
declare -A taken left_out  # per program: the patterns runs take, those they leave out
while IFS= read -r line; do
  n=$((n + 1))
  IFS=$'\t' read -r name command envs extra <<<"$line"
  if [ -z "$name" ] || [ -z "$command" ] || [ -n "$extra" ]; then echo "line $n malformed: $line"; fail=1; continue; fi
  read -ra words <<<"$command"
  program=${words[0]}
  case "$program" in
    *.sh) [ -n "$src" ] && [ -x "$src/$program" ] || { echo "$name: script $program not in ${src:-the source tree}"; fail=1; } ;;
    *) [ -f "$bin/$program" ] || { echo "$name: $bin/$program not built"; fail=1; } ;;
  esac
  for f in "${words[@]:1}"; do [ -f "$bin/$f" ] || { echo "$name: $bin/$f not built"; fail=1; }; done
  filter="*"
  set -f
  for kv in $envs; do
    [[ "$kv" =~ ^[A-Za-z_][A-Za-z0-9_]*=.*$ ]] || { echo "$name: '$kv' is no VAR=VALUE"; fail=1; }
    [[ "$kv" == GTEST_FILTER=* ]] && filter=${kv#GTEST_FILTER=}
  done
  set +f
  positive=${filter%%-*} negative=
  [[ "$filter" == *-* ]] && negative=${filter#*-}
  [ -n "$positive" ] || positive="*"
  taken[$program]+=":${positive%:}:"
  [ -z "$negative" ] || left_out[$program]+="$negative:"
done <"$manifest"
for program in "${!left_out[@]}"; do
  IFS=: read -ra patterns <<<"${left_out[$program]}"
  for p in "${patterns[@]}"; do
    [ -n "$p" ] || continue
    [[ "${taken[$program]}" == *":$p:"* ]] || { echo "$program: cases $p are left out of every run"; fail=1; }
  done
done
dups=$(cut -f1 "$manifest" | sort | uniq -d)
[ -z "$dups" ] || { echo "listed twice: $dups"; fail=1; }
[ "$n" -gt 0 ] || { echo "no tests listed"; fail=1; }
echo "$n tests listed for the VM: $(cut -f1 "$manifest" | tr '\n' ' ')"
exit $fail
