# Sourced by the guest's PID 1 (guest-init) in a run, from the unpacked
# payload in /qz: bin/ (the i686 build's executables and DLL), tests.txt
# ("NAME<tab>FILE[<tab>SKIP]" lines; SKIP: GoogleTest cases left out here) and test-timeout (seconds per test). Runs each test
# under 32-bit Wine, then the demo host's tour, each with its output in
# /tmp/out/NAME.log (and the GoogleTest report in NAME.xml), and writes
# /tmp/out as a tar onto the third disk. Each result goes to the console as
# "qz-guest: result NAME STATUS SECONDS" as soon as it is known.
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }

mkdir -p /tmp/out /tmp/tour
if [ ! -f /qz/tests.txt ] || [ ! -f /qz/bin/qzhost.exe ]; then
  say "payload incomplete"; return 1
fi
limit=$(cat /qz/test-timeout 2>/dev/null || echo 300)
# One wineserver for the whole run, as on the host.
"$wineserver_bin" -p
"$wine_bin" cmd /c exit </dev/null >/dev/null 2>&1
say "payload ok, $(grep -c . /qz/tests.txt) tests, wine $("$wine_bin" --version 2>/dev/null)"

while IFS="$(printf '\t')" read -r name exe skip; do
  [ -n "$name" ] || continue
  say "start $name${skip:+ (leaving out $skip)}"
  t0=$(now)
  # A path with a drive letter: GoogleTest takes any other as relative.
  (cd /qz/bin && timeout -k 10 "$limit" "$wine_bin" "./$exe" ${skip:+"--gtest_filter=-$skip"} --gtest_output="xml:Z:\\tmp\\out\\$name.xml") \
    </dev/null >"/tmp/out/$name.log" 2>&1
  rc=$?
  say "result $name $rc $(since "$t0")"
done </qz/tests.txt

# The demo host's tour, in a folder of its own (the log writes files there).
say "start qzhost_tour"
t0=$(now)
(cd /tmp/tour && timeout -k 10 "$limit" "$wine_bin" /qz/bin/qzhost.exe) </dev/null >/tmp/out/qzhost_tour.log 2>&1
rc=$?
say "result qzhost_tour $rc $(since "$t0")"

tar cf /dev/vdc -C /tmp/out . && sync && say "results written"
