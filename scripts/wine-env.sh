# Sourced by the run scripts: one wine64 prefix (made once) and one wineserver
# for the run, with scripts/wine.env's environment (applied by wine-run).
export QZ_CACHE=${QZ_CACHE:-/var/cache/qzutilities}
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
  # An earlier server may carry another environment (a fake clock): this run's
  # own stays a minute after the last program, so its system processes hold no
  # test's pipes. Its first program sets no audio driver (wine.env says why).
  /usr/lib/wine/wineserver -k 2>/dev/null || true; /usr/lib/wine/wineserver -p60
  "$qz_root/scripts/wine-run" reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d '' /f \
    >/dev/null 2>&1 </dev/null || echo "wine64 prefix: cannot set it to load no audio driver" >&2
}
