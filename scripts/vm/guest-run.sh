# Sourced by guest-init in a run, the checkout mounted at $src: ctest --preset
# vm under 32-bit Wine and an X server, its report into build/vm/, its output
# to the console as "qz-guest: " lines.
out=$src/build/vm
# (time64.c's shim hands the 32-bit libfaketime Wine's 64-bit-time calls.)
export QZ_FAKETIME_PRELOAD="$out/time64.so /usr/lib/i386-linux-gnu/faketime/libfaketime.so.1"
# One wineserver for the run; its first program sets no audio driver (wine.env).
"$wineserver_bin" -p
"$wine_bin" reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d '' /f </dev/null >/dev/null 2>&1 ||
  say "cannot set the prefix to load no audio driver"
say "wine $("$wine_bin" --version 2>/dev/null), $(ctest --version | head -n1)"
if [ -f "$out/kit.env" ]; then
  # The test kit instead (run-lane.sh --kit): its runner, its output line by
  # line (printf: its Windows paths have backslashes, which echo would read).
  . "$out/kit.env"
  cd "$QZ_KIT_DIR" && { "$wine_bin" qztest.exe --default-limit "$QZ_KIT_LIMIT" -E "$QZ_KIT_EXCLUDE" </dev/null
    echo "kit exit $?"; } 2>"$out/kit-wine.log" | while IFS= read -r line; do printf 'qz-guest: %s\n' "$line" >/dev/console; done
  sync; return 0
fi
cd "$src" && xvfb-run -a -e "$out/xvfb.log" -s "$QZ_XVFB_ARGS" \
  ctest --preset vm --output-junit "$out/junit.xml" </dev/null 2>&1 | while IFS= read -r line; do say "$line"; done
sync
