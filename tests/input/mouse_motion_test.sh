#!/usr/bin/env bash
# The mouse under Wine's dinput8: the driver runs the mouse exports on the
# test run's X server and this script moves the pointer with xdotool (XTest:
# exact device counts) between its reads.
#   usage: mouse_motion_test.sh WINE_RUN MOUSE_DRIVER_EXE
set -u
wine_run=$1 driver=$2
export QZ_NEEDS_DISPLAY=1
export DISPLAY=${QZ_XVFB_DISPLAY:-${DISPLAY:-}}
[ -n "$DISPLAY" ] || { echo "no X display (QZ_XVFB_DISPLAY)"; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is not installed"; exit 1; }

pass=0 fail=0
check() { if [ "$2" = "$3" ]; then pass=$((pass+1)); else echo "FAILED: $1: got '$2', want '$3'"; fail=$((fail+1)); fi; }
coproc DRIVER { "$wine_run" "$driver" 2>&1; }
ask() {  # sends one command, prints the answer
  [ -n "${DRIVER[1]:-}" ] || { echo "(the driver has ended)"; return; }
  echo "$1" >&"${DRIVER[1]}"
  local line
  if ! IFS= read -r -t 30 line <&"${DRIVER[0]}"; then echo "(no answer)"; return; fi
  printf '%s\n' "${line%$'\r'}"
}
move() { xdotool mousemove_relative -- "$1" "$2"; sleep 0.3; ask "pump 200" >/dev/null; }
fails="read 80004005 12345 12345"  # E_FAIL, outputs as they were

check "front" "$(ask front)" "ok"
check "read before listen" "$(ask read)" "$fails"
check "null pointer without device" "$(ask read-null)" "read 80004005 12345"
check "unacquire without device" "$(ask unacquire)" "ok"
check "release without device" "$(ask release)" "ok"

check "listen" "$(ask listen)" "listen 00000000"
ask read >/dev/null   # whatever the acquisition itself moved
move 7 -5
check "motion 7,-5" "$(ask read)" "read 00000000 7 -5"
check "no motion since" "$(ask read)" "read 00000000 0 0"
# Motion while unacquired is not counted; the next read acquires again.
check "unacquire" "$(ask unacquire)" "ok"
move 11 11
check "read after unacquire" "$(ask read)" "read 00000000 0 0"
check "back" "$(ask back)" "ok"
move 5 5
check "read in background" "$(ask read)" "$fails"
check "front again" "$(ask front)" "ok"

# Listening again replaces the device; after one release none is left and a
# new listen succeeds at once. (Wine lets two exclusive devices of a process
# be acquired together: that the first one is let go is shown with fakes.)
check "listen twice" "$(ask listen)" "listen 00000000"
check "release" "$(ask release)" "ok"
check "read after release" "$(ask read)" "$fails"
check "second release" "$(ask release)" "ok"
check "listen again" "$(ask listen)" "listen 00000000"
ask read >/dev/null
move -9 2
check "motion with the new device" "$(ask read)" "read 00000000 -9 2"

# Not a window: DirectInput's own error (Wine: E_HANDLE), not E_FAIL.
answer=$(ask listen-invalid)
case $answer in
  "listen 80004005") check "invalid window" "$answer" "a DirectInput error other than E_FAIL" ;;
  "listen 8"*) check "invalid window" ok ok ;;
  *) check "invalid window" "$answer" "listen 8xxxxxxx" ;;
esac
check "release after failed listen" "$(ask release)" "ok"
check "listen after failed listen" "$(ask listen)" "listen 00000000"

[ -n "${DRIVER[1]:-}" ] && echo quit >&"${DRIVER[1]}"
[ -n "${DRIVER_PID:-}" ] && wait "$DRIVER_PID" 2>/dev/null
echo "mouse motion: $pass passed, $fail failed"
[ $fail = 0 ]
