#!/usr/bin/env bash
# The guest gets every file its ctest run needs: each program, script and
# working folder that a test of the "vm" preset names, at the same path in
# the payload (run-lane.sh --payload-only, into a scratch folder).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
QZ_VM_OUT=$tmp/vm "$root/scripts/vm/run-lane.sh" --payload-only >/dev/null || exit 1
tar tf "$tmp/vm/payload.tar" | sed -n 's|^tree/|/|p' | sed 's|/$||' | sort -u >"$tmp/have"
# Every absolute path among the tests' words, and the folders they run in.
(cd "$root" && ctest --preset vm --show-only=json-v1) | python3 -c '
import json, sys
for t in json.load(sys.stdin)["tests"]:
    words = t["command"] + [p["value"] for p in t["properties"] if p["name"] == "WORKING_DIRECTORY"]
    print("\n".join(w for w in words if w.startswith("/") and not w.startswith("/usr/")))' | sort -u >"$tmp/need"
[ -s "$tmp/need" ] || { echo "FAIL: the vm preset names no files"; exit 1; }
missing=$(comm -23 "$tmp/need" <({ cat "$tmp/have"; sed 's|/[^/]*$||' "$tmp/have"; } | sort -u))
[ -z "$missing" ] || { echo "FAIL: the guest would lack:"; sed 's/^/  /' <<<"$missing"; exit 1; }
echo "payload: all $(wc -l <"$tmp/need") files and folders the vm tests name"
