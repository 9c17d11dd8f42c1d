#!/usr/bin/env bash
# Real relative motion: the mouse driver runs the DLL's mouse exports under
# wine64 on the test run's X server, and this script moves the pointer with
# xdotool (XTest, exact device counts) between the driver's reads.
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
# ask COMMAND: sends one command and prints the driver's answer.
ask() {
  echo "$1" >&"${DRIVER[1]}"
  local line
  if ! IFS= read -r -t 30 line <&"${DRIVER[0]}"; then echo "(no answer)"; return; fi
  printf '%s\n' "${line%$'\r'}"
}
move() { xdotool mousemove_relative -- "$1" "$2"; sleep 0.3; ask "pump 200" >/dev/null; }

check "front" "$(ask front)" "ok"
check "read before listen" "$(ask read)" "read 80004005 12345 12345"
check "listen" "$(ask listen)" "listen 00000000"
ask read >/dev/null   # whatever the acquisition itself moved
check "still" "$(ask read)" "read 00000000 0 0"

move 7 -5
check "motion 7,-5" "$(ask read)" "read 00000000 7 -5"
check "no motion since" "$(ask read)" "read 00000000 0 0"

move -30 12; move 3 4
check "two moves add up" "$(ask read)" "read 00000000 -27 16"

# Motion while unacquired is not counted; the next read acquires again.
check "unacquire" "$(ask unacquire)" "ok"
move 11 11
check "read after unacquire" "$(ask read)" "read 00000000 0 0"
move -9 2
check "motion after re-acquire" "$(ask read)" "read 00000000 -9 2"

# In the background the device cannot be acquired: every read fails.
check "back" "$(ask back)" "ok"
move 5 5
check "read in background" "$(ask read)" "read 80004005 12345 12345"
check "front again" "$(ask front)" "ok"
ask read >/dev/null
move 1 -1
check "motion in front again" "$(ask read)" "read 00000000 1 -1"

check "release" "$(ask release)" "ok"
move 4 4
check "read after release" "$(ask read)" "read 80004005 12345 12345"
check "listen again" "$(ask listen)" "listen 00000000"
ask read >/dev/null
move 2 3
check "motion with the new device" "$(ask read)" "read 00000000 2 3"

echo quit >&"${DRIVER[1]}"
wait "$DRIVER_PID" 2>/dev/null
echo "mouse motion: $pass passed, $fail failed"
[ $fail = 0 ]
