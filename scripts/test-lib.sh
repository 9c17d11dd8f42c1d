# Sourced by the scripts' tests: $tmp, a folder that goes when the test ends,
# and the count of failed checks, which qz_done prints and returns last.
set -uo pipefail
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
check() {  # check WHAT COMMAND...: "ok: WHAT", or a failure and the file $shown
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else fail "$what"; [ -z "${shown:-}" ] || sed 's/^/    | /' "$shown"; fi
}
same() { if [ "$2" = "$3" ]; then echo "ok: $1"; else fail "$1: '$2', want '$3'"; fi; }  # same WHAT GOT WANT
qz_done() { echo "$1: $fails failed"; [ "$fails" = 0 ]; }  # qz_done WHAT
