# Sourced by scripts/wine-env.sh (the host's test run) and by the guest's run
# (guest-run.sh): one Xvfb server on a free display, started and waited for
# until it takes connections. POSIX sh: the guest's PID 1 is a dash script.
#
# qz_xvfb_start LOG
#   Starts the server with its messages in LOG. On success sets
#   QZ_XVFB_DISPLAY (":N") and QZ_XVFB_PID and returns 0. Otherwise no server
#   is left running, QZ_XVFB_ERROR says what went wrong and it returns 1.
#   QZ_XVFB: the server program (Xvfb); QZ_XVFB_WAIT: seconds to wait (30).
# qz_xvfb_stop: stops the server that qz_xvfb_start started.
qz_xvfb_start() {
  local log=$1 ready n waited=0 status
  local limit=$(( ${QZ_XVFB_WAIT:-30} * 10 ))
  QZ_XVFB_DISPLAY= QZ_XVFB_PID= QZ_XVFB_ERROR=
  ready=$log.display
  : >"$ready"
  # The server picks the first free display and, once it takes connections,
  # writes its number and a line break to descriptor 3.
  "${QZ_XVFB:-Xvfb}" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$ready" >"$log" 2>&1 </dev/null &
  QZ_XVFB_PID=$!
  while :; do
    if [ "$(tail -c1 "$ready" 2>/dev/null | od -An -c | tr -d ' ')" = '\n' ]; then
      n=$(tr -d '\n' <"$ready")
      break
    fi
    if ! kill -0 "$QZ_XVFB_PID" 2>/dev/null; then
      wait "$QZ_XVFB_PID"; status=$?
      QZ_XVFB_ERROR="Xvfb ended (status $status) before it took connections"
      QZ_XVFB_PID=; rm -f "$ready"; return 1
    fi
    if [ "$waited" -ge "$limit" ]; then
      QZ_XVFB_ERROR="Xvfb did not take connections within ${QZ_XVFB_WAIT:-30}s"
      qz_xvfb_stop; rm -f "$ready"; return 1
    fi
    sleep 0.1; waited=$((waited + 1))
  done
  rm -f "$ready"
  case "$n" in
    ''|*[!0-9]*) QZ_XVFB_ERROR="Xvfb reported no display number ('$n')"; qz_xvfb_stop; return 1 ;;
  esac
  if [ ! -S "/tmp/.X11-unix/X$n" ]; then
    QZ_XVFB_ERROR="Xvfb reported display :$n but /tmp/.X11-unix/X$n is no socket"; qz_xvfb_stop; return 1
  fi
  QZ_XVFB_DISPLAY=:$n
  return 0
}

qz_xvfb_stop() {
  if [ -n "${QZ_XVFB_PID:-}" ]; then
    kill "$QZ_XVFB_PID" 2>/dev/null
    wait "$QZ_XVFB_PID" 2>/dev/null
  fi
  QZ_XVFB_PID=
  return 0
}
