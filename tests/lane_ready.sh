#!/usr/bin/env bash
# lane_ready.sh wine RUNNER | display
#   What every test of a lane needs, checked once so that a lane that cannot
#   run fails as this one test, saying why: the lane's Wine runs a program
#   (wine), and the lane's X server is there (display: the DISPLAY that
#   xvfb-run gives the lane, in scripts/test.sh and in the VM guest).
case ${1:-} in
  wine)
    out=$("$2" cmd /c exit 2>&1 </dev/null) && exit 0
    echo "the lane's Wine ($2${QZ_WINE:+, QZ_WINE=$QZ_WINE}) cannot run a program: $out" >&2
    exit 1 ;;
  display)
    d=${DISPLAY:-}
    [ -n "$d" ] || { echo "no X server for the display tests: no DISPLAY (a lane runs under xvfb-run)" >&2; exit 1; }
    [ -S "/tmp/.X11-unix/X${d#:}" ] || { echo "the X server $d is gone (no /tmp/.X11-unix/X${d#:})" >&2; exit 1; }
    exit 0 ;;
esac
echo "usage: lane_ready.sh wine RUNNER | display" >&2
exit 2
