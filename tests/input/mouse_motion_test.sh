#!/usr/bin/env bash
# The DirectInput mouse for real: the mouse driver runs the DLL's mouse
# exports under wine64 on the test run's X server (on a desktop of its own),
# and this script moves the pointer with xdotool (XTest, exact device counts)
# between the driver's reads.
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
  [ -n "${DRIVER[1]:-}" ] || { echo "(the driver has ended)"; return; }
  echo "$1" >&"${DRIVER[1]}"
  local line
  if ! IFS= read -r -t 30 line <&"${DRIVER[0]}"; then echo "(no answer)"; return; fi
  printf '%s\n' "${line%$'\r'}"
}
move() { xdotool mousemove_relative -- "$1" "$2"; sleep 0.3; ask "pump 200" >/dev/null; }

check "front" "$(ask front)" "ok"
# No device yet: every call is harmless and reads fail without writing.
check "read before listen" "$(ask read)" "read 80004005 12345 12345"
check "unacquire without device" "$(ask unacquire)" "ok"
check "release without device" "$(ask release)" "ok"
check "null pointer without device" "$(ask read-null)" "read 80004005 12345"
check "listen" "$(ask listen)" "listen 00000000"
ask read >/dev/null   # whatever the acquisition itself moved
check "still" "$(ask read)" "read 00000000 0 0"

move 7 -5
check "motion 7,-5" "$(ask read)" "read 00000000 7 -5"
check "no motion since" "$(ask read)" "read 00000000 0 0"

move -30 12; move 3 4
check "two moves add up" "$(ask read)" "read 00000000 -27 16"
# A null out pointer: refused, nothing written, the motion is still there.
move 6 6
check "null pointer with device" "$(ask read-null)" "read 80004005 12345"
check "motion kept for the next read" "$(ask read)" "read 00000000 6 6"

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
check "second release" "$(ask release)" "ok"
check "read after second release" "$(ask read)" "read 80004005 12345 12345"

# Listening in the background succeeds (the acquisition waits for the read).
check "back before listen" "$(ask back)" "ok"
check "listen in background" "$(ask listen)" "listen 00000000"
check "read in background after listen" "$(ask read)" "read 80004005 12345 12345"
check "front after background listen" "$(ask front)" "ok"
ask read >/dev/null
move -2 8
check "motion after background listen" "$(ask read)" "read 00000000 -2 8"

# Listening twice replaces the device; after one release none is left. (Wine
# lets two exclusive devices of one process be acquired together, so that the
# earlier device is let go is checked against fakes in input_logic_test.)
check "listen twice" "$(ask listen)" "listen 00000000"
ask read >/dev/null
move 5 -6
check "motion with the replacing device" "$(ask read)" "read 00000000 5 -6"
check "release after two listens" "$(ask release)" "ok"
check "nothing left after release" "$(ask read)" "read 80004005 12345 12345"
check "listen again" "$(ask listen)" "listen 00000000"
ask read >/dev/null
move 2 3
check "motion with the new device" "$(ask read)" "read 00000000 2 3"
check "release" "$(ask release)" "ok"

# A window handle that is not a window: DirectInput's own error (Wine:
# E_HANDLE), not E_FAIL. The partly set up device is kept until released.
answer=$(ask listen-invalid)
case $answer in
  "listen 80004005") check "invalid window" "$answer" "a DirectInput error other than E_FAIL" ;;
  "listen 8"*) check "invalid window" ok ok ;;
  *) check "invalid window" "$answer" "listen 8xxxxxxx" ;;
esac
check "release after failed listen" "$(ask release)" "ok"
check "read after failed listen released" "$(ask read)" "read 80004005 12345 12345"
check "listen after failed listen" "$(ask listen)" "listen 00000000"
ask read >/dev/null
move 1 1
check "motion after failed listen" "$(ask read)" "read 00000000 1 1"

[ -n "${DRIVER[1]:-}" ] && echo quit >&"${DRIVER[1]}"
[ -n "${DRIVER_PID:-}" ] && wait "$DRIVER_PID" 2>/dev/null
echo "mouse motion: $pass passed, $fail failed"
[ $fail = 0 ]
