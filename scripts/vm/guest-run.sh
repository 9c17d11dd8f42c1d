# Sourced by the guest's PID 1 (guest-init) in a run, from the unpacked
# payload in /qz: bin/ (the i686 build's executables and DLL), src/ (the test
# scripts the list names), tests.txt ("NAME<tab>PROGRAM [FILES...]<tab>[VAR=VALUE
# ...]" lines, see tests/CMakeLists.txt), test-timeout (seconds per test),
# jobs (how many tests run at once), xvfb.sh and wine-run (this guest's
# runner for the test scripts).
#
# Starts one Xvfb for the tests that need a display (QZ_NEEDS_DISPLAY=1), runs
# each test under 32-bit Wine with its environment, and the demo host's tour,
# each with its output in /tmp/out/NAME.log (and a GoogleTest program's report
# in NAME.xml), and writes /tmp/out as a tar onto the third disk. Each result
# goes to the console as "qz-guest: result NAME STATUS SECONDS" as soon as it
# is known (STATUS: the exit status, or "nodisplay" when the X server is not
# there). An X server that does not start is reported as "qz-guest: xvfb
# failed: WHY", followed by its log as "qz-guest: xvfb log: ..." lines. A
# tour that prints lines of the ALSA sound library fails (status 1, with a
# line saying so at the end of its log): Wine was left to look for a sound
# device, and a script author would see that noise.
# (QZ_GUEST_ROOT, QZ_GUEST_OUT and QZ_GUEST_RESULTS stand for /qz, /tmp/out
# and the third disk in scripts/vm/guest_run_test.sh.)
qz=${QZ_GUEST_ROOT:-/qz} out=${QZ_GUEST_OUT:-/tmp/out}
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
tab=$(printf '\t')

mkdir -p "$out"
if [ ! -f "$qz/tests.txt" ] || [ ! -f "$qz/bin/qzhost.exe" ] || [ ! -f "$qz/xvfb.sh" ] || [ ! -x "$qz/wine-run" ]; then
  say "payload incomplete"; return 1
fi
limit=$(cat "$qz/test-timeout" 2>/dev/null || echo 300)
# What the test scripts that fake the clock preload: the 32-bit libfaketime,
# after the shim (lib/time64.so, scripts/vm/time64.c) that hands it 32-bit
# Wine's 64-bit-time clock calls.
export QZ_FAKETIME_PRELOAD="${QZ_FAKETIME_PRELOAD:-$qz/lib/time64.so /usr/lib/i386-linux-gnu/faketime/libfaketime.so.1}"
# One wineserver for the whole run, as on the host, started by the program
# that sets the prefix to load no audio driver: there is no sound device, and
# the ALSA driver would say so on the error output of every program that
# lists audio devices (the report's service does). (Wine 8's report service
# needs this setting; without the driver DLLs it does not start.)
"$wineserver_bin" -p
"$wine_bin" reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d '' /f </dev/null >/dev/null 2>&1 ||
  say "cannot set the prefix to load no audio driver"
say "payload ok, $(grep -c . "$qz/tests.txt") tests, wine $("$wine_bin" --version 2>/dev/null)"

# One X server for the run, as on the host.
. "$qz/xvfb.sh"
if grep -q "${tab}.*QZ_NEEDS_DISPLAY=1" "$qz/tests.txt"; then
  t0=$(now)
  if qz_xvfb_start "$out/xvfb.log"; then
    export QZ_XVFB_DISPLAY
    say "xvfb on $QZ_XVFB_DISPLAY (pid $QZ_XVFB_PID) after $(since "$t0")s"
  else
    say "xvfb failed: $QZ_XVFB_ERROR"
    sed 's/^/xvfb log: /' "$out/xvfb.log" | head -n 60 | while IFS= read -r l; do say "$l"; done
  fi
fi

# run_test NAME COMMAND ENVS: one test (a line of tests.txt; the command
# "@tour" is the demo host's tour), its output in $out/NAME.log, its result on
# the console.
run_test() {
  local name=$1 command=$2 envs=$3 t0 rc alsa
  case " $envs " in
    *" QZ_NEEDS_DISPLAY=1 "*)
      if [ -z "${QZ_XVFB_DISPLAY:-}" ]; then say "result $name nodisplay 0"; return; fi ;;
  esac
  say "start $name${envs:+ ($envs)}"
  t0=$(now)
  (
    set -f  # the words are taken as they are: no file name patterns
    cd "$qz/bin" || exit 125
    for kv in $envs; do export "$kv"; done
    set -- $command
    case "$1" in
      @tour)
        # In a folder of its own: the log writes files there.
        mkdir -p "$out.tour" && cd "$out.tour" || exit 125
        exec timeout -k 10 "$limit" "$qz/wine-run" "$qz/bin/qzhost.exe" ;;
      *.sh)
        script=$qz/src/$1; shift
        for f in "$@"; do set -- "$@" "$qz/bin/$f"; shift; done
        exec timeout -k 10 "$limit" bash "$script" "$qz/wine-run" "$@" ;;
      *)
        # A path with a drive letter: GoogleTest takes any other as relative.
        exec timeout -k 10 "$limit" "$qz/wine-run" "./$1" --gtest_output="xml:Z:$(echo "$out/$name.xml" | tr / '\\')" ;;
    esac
  ) </dev/null >"$out/$name.log" 2>&1
  rc=$?
  if [ "$command" = @tour ] && [ "$rc" = 0 ]; then
    alsa=$(grep -ac 'ALSA lib' "$out/$name.log")
    if [ "$alsa" -gt 0 ]; then
      echo "qzhost_tour: Wine loaded an audio driver (lines of the ALSA sound library above: $alsa)" >>"$out/$name.log"
      rc=1
    fi
  fi
  say "result $name $rc $(since "$t0")"
}

# The tests in list order, then the tour, shared by $jobs workers (the
# host's ctest runs as many at once): each takes the next test that no other
# has claimed (a claim is a folder, made or refused at once).
queue=$out.queue
{ cat "$qz/tests.txt"; printf 'qzhost_tour\t@tour\t\n'; } >"$queue"
mkdir -p "$out.claims"
worker() {
  local i=0 name command envs
  while IFS="$tab" read -r name command envs; do
    [ -n "$name" ] || continue
    i=$((i + 1))
    mkdir "$out.claims/$i" 2>/dev/null || continue
    run_test "$name" "$command" "$envs"
  done <"$queue"
}
jobs=$(cat "$qz/jobs" 2>/dev/null || echo 1)
pids= w=0
while [ "$w" -lt "$jobs" ]; do worker & pids="$pids $!"; w=$((w + 1)); done
wait $pids

qz_xvfb_stop
tar cf "${QZ_GUEST_RESULTS:-/dev/vdc}" -C "$out" . && sync && say "results written"
