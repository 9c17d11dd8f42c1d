#!/usr/bin/env bash
# check_manifest.sh MANIFEST BIN: the i686 lane's list of tests is usable:
# "NAME<tab>FILE[<tab>SKIP]" lines, names unique, each FILE built in BIN, and BIN has the
# DLL and the demo host the lane also copies into the guest.
set -uo pipefail
manifest=$1 bin=$2 fail=0
[ -f "$manifest" ] || { echo "no $manifest"; exit 1; }
for f in qzutilities.dll qzhost.exe; do [ -f "$bin/$f" ] || { echo "missing $bin/$f"; fail=1; }; done
n=0
while IFS= read -r line; do
  n=$((n + 1))
  IFS=$'\t' read -r name file skip extra <<<"$line"
  if [ -z "$name" ] || [ -z "$file" ] || [ -n "$extra" ]; then echo "line $n malformed: $line"; fail=1; continue; fi
  [ -f "$bin/$file" ] || { echo "$name: $bin/$file not built"; fail=1; }
done <"$manifest"
dups=$(cut -f1 "$manifest" | sort | uniq -d)
[ -z "$dups" ] || { echo "listed twice: $dups"; fail=1; }
[ "$n" -gt 0 ] || { echo "no tests listed"; fail=1; }
echo "$n tests listed for the VM: $(cut -f1 "$manifest" | tr '\n' ' ')"
exit $fail
