# Sourced by the guest's PID 1 (guest-init) in a run, from the unpacked
# payload in /qz: tree/ (the checkout's test scripts and presets and the i686
# build's test tree, at their paths on the host), lib/time64.so (see
# time64.c) and source (that path). Runs the build's tests as the host does,
# with ctest --preset vm, under the guest's 32-bit Wine and one Xvfb; its
# output goes to the console as "qz-guest: " lines, its JUnit report and
# logs as a tar onto the third disk.
src=$(cat /qz/source) out=/tmp/out
mkdir -p "$out" "$(dirname "$src")" && mv /qz/tree"$src" "$src" || { say "payload incomplete"; return 1; }
# The test scripts that fake the clock preload the 32-bit libfaketime, after
# the shim that hands it 32-bit Wine's 64-bit-time clock calls.
export QZ_FAKETIME_PRELOAD="/qz/lib/time64.so /usr/lib/i386-linux-gnu/faketime/libfaketime.so.1"
# One wineserver for the whole run, started by the program that sets the
# prefix to load no audio driver: there is no sound device, and the ALSA
# driver would say so on the error output of every program that lists audio
# devices (Wine 8's report service needs the driver DLLs, so not an override).
"$wineserver_bin" -p
"$wine_bin" reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d '' /f </dev/null >/dev/null 2>&1 ||
  say "cannot set the prefix to load no audio driver"
. "$src/scripts/vm/xvfb.sh"
if qz_xvfb_start "$out/xvfb.log"; then export QZ_XVFB_DISPLAY; else export QZ_XVFB_ERROR; fi
say "wine $("$wine_bin" --version 2>/dev/null), $(ctest --version | head -n1), X server ${QZ_XVFB_DISPLAY:-none: $QZ_XVFB_ERROR}"
cd "$src" && ctest --preset vm --output-junit "$out/junit.xml" </dev/null 2>&1 |
  while IFS= read -r line; do say "$line"; done
qz_xvfb_stop
cp "$src"/build/i686/Testing/Temporary/LastTest*.log "$out/" 2>/dev/null
tar cf /dev/vdc -C "$out" . && sync && say "results written"
