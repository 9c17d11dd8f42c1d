# Sourced by the run scripts: one wine64 prefix (made once, reused) and one
# persistent wineserver for the run, with the Wine environment of
# scripts/wine.env (which scripts/wine-run applies).
QZ_CACHE=${QZ_CACHE:-/var/cache/qzutilities}
export QZ_CACHE
export WINEPREFIX=${WINEPREFIX:-$QZ_CACHE/wine64-prefix}
qz_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$qz_root/scripts/wine.env"

qz_start_wine() {
  if [ ! -f "$WINEPREFIX/.qz-ready" ]; then
    echo "creating the wine64 prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"; mkdir -p "$(dirname "$WINEPREFIX")"
    "$qz_root/scripts/wine-run" wineboot -i >/dev/null 2>&1 </dev/null || true
    /usr/lib/wine/wineserver -w
    touch "$WINEPREFIX/.qz-ready"
  fi
  # A server left by an earlier run may carry another environment (a fake
  # clock, say): this run starts its own. It stays a minute after the last
  # program; the system processes it starts now are not tied to any test's
  # output pipes. The program that starts them also sets the prefix to load
  # no audio driver (scripts/wine.env says why).
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -p60
  "$qz_root/scripts/wine-run" reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d '' /f \
    >/dev/null 2>&1 </dev/null || echo "wine64 prefix: cannot set it to load no audio driver" >&2
}
