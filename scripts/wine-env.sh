# Sourced by the run scripts: one wine64 prefix (made once, reused), one
# persistent wineserver for the run, and an Xvfb server for the tests that
# need a display.
QZ_CACHE=${QZ_CACHE:-/var/cache/qzutilities}
export QZ_CACHE
export WINEPREFIX=${WINEPREFIX:-$QZ_CACHE/wine64-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
qz_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

qz_start_wine() {
  if [ ! -f "$WINEPREFIX/.qz-ready" ]; then
    echo "creating the wine64 prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"; mkdir -p "$(dirname "$WINEPREFIX")"
    "$qz_root/scripts/wine-run" wineboot -i >/dev/null 2>&1 </dev/null || true
    /usr/lib/wine/wineserver -w
    touch "$WINEPREFIX/.qz-ready"
  fi
  # The server stays a minute after the last program; the system processes it
  # starts now are not tied to any test's output pipes.
  /usr/lib/wine/wineserver -p60
  "$qz_root/scripts/wine-run" cmd /c exit >/dev/null 2>&1 </dev/null || true
}

qz_start_xvfb() {
  local n
  for n in $(seq 90 120); do
    [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    QZ_XVFB_PID=$!
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    export QZ_XVFB_DISPLAY=:$n
    return 0
  done
  echo "no free X display" >&2; return 1
}

qz_stop_xvfb() { [ -n "${QZ_XVFB_PID:-}" ] && kill "$QZ_XVFB_PID" 2>/dev/null; true; }
