# Sourced by the guest's PID 1 (guest-init) in a run, with the host's checkout
# mounted at its path there ($src): runs the i686 build's tests as the host
# does, with ctest --preset vm, under the guest's 32-bit Wine and one X server
# (xvfb-run), into build/vm/ (its JUnit report, the X server's messages). Its
# output goes to the console as "qz-guest: " lines.
out=$src/build/vm
# The test scripts that fake the clock preload the 32-bit libfaketime, after
# the shim that hands it 32-bit Wine's 64-bit-time clock calls (time64.c,
# built by run-lane.sh).
export QZ_FAKETIME_PRELOAD="$out/time64.so /usr/lib/i386-linux-gnu/faketime/libfaketime.so.1"
# One wineserver for the whole run, started by the program that sets the
# prefix to load no audio driver (scripts/wine.env says why).
"$wineserver_bin" -p
"$wine_bin" reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d '' /f </dev/null >/dev/null 2>&1 ||
  say "cannot set the prefix to load no audio driver"
say "wine $("$wine_bin" --version 2>/dev/null), $(ctest --version | head -n1)"
cd "$src" && xvfb-run -a -e "$out/xvfb.log" -s "$QZ_XVFB_ARGS" \
  ctest --preset vm --output-junit "$out/junit.xml" </dev/null 2>&1 | while IFS= read -r line; do say "$line"; done
sync
