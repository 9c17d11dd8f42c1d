#!/usr/bin/env bash
# tour_test.sh RUNNER QZHOST: the demo host's tour, as a game's author first
# runs it, in a folder of its own (the log writes its files there). Fails when
# the tour does, and when lines of the ALSA sound library show in its output:
# Wine was left to look for a sound device, and an author would see that noise.
set -u
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
"$1" "$2" >"$dir/tour.out" 2>&1 </dev/null
rc=$?
cat "$dir/tour.out"
[ "$rc" = 0 ] || { echo "tour_test: the tour ended with status $rc"; exit 1; }
alsa=$(grep -ac 'ALSA lib' "$dir/tour.out")
[ "$alsa" = 0 ] || { echo "tour_test: Wine loaded an audio driver ($alsa lines of the ALSA sound library above)"; exit 1; }
