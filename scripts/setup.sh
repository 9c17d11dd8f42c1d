#!/usr/bin/env bash
# setup.sh [--demo]: Debian's packages, the Debian 13 root and the Boost and
# libdeflate libraries, into the cache (QZ_CACHE, /var/cache/qzutilities), a
# line a step (logs in build/logs/setup-*.log); a second run reuses it all.
# --demo: only what scripts/demo.sh needs (the i686 build and its root).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/steps.sh"
logs=$here/../build/logs
demo=0; [ "${1:-}" = --demo ] && demo=1

# The demo's: mmdebstrap for the root; patch, bison and g++ for Boost and b2.
pkgs=(mmdebstrap patch bison g++ xz-utils python3)
[ "$demo" = 1 ] || pkgs+=(cmake ninja-build dpkg-dev g++-mingw-w64-x86-64-posix wine64 xvfb xauth xdotool faketime
  googletest libutfcpp-dev libz-mingw-w64-dev clang libclang-rt-14-dev qemu-system-x86 qemu-utils linux-image-amd64
  git zip unzip llvm lld)

packages() {
  local missing=() p
  for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p"); done
  if [ ${#missing[@]} = 0 ]; then echo "packages: cached (all ${#pkgs[@]} installed)"; return; fi
  [ "$(id -u)" = 0 ] || { echo "setup: run as root to install: ${missing[*]}"; return 1; }
  echo "installing: ${missing[*]}"
  apt-get update -q || true  # (other lists on the machine may be unreachable)
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

source "$here/../versions.env"
boost=${QZ_BOOST_VERSION%.*} libdeflate=$QZ_LIBDEFLATE_VERSION
# KEY|WHAT IT DOES WHEN DONE|LABEL|COMMAND
steps=("packages|installed|Debian packages for the $([ "$demo" = 1 ] && echo demo || echo build and the tests)|packages"
       "root|built|Debian 13 root (Wine 10, clang and lld 19)|$here/make-root.sh wow64"
       "boost-i686|built|Boost $boost for i686 (clang 19)|$here/build-lib.sh boost i686"
       "libdeflate-i686|built|libdeflate $libdeflate for i686 (clang 19)|$here/build-lib.sh libdeflate i686")
[ "$demo" = 1 ] || steps+=(
       "boost-x86_64|built|Boost $boost for x86_64 (GCC 12)|$here/build-lib.sh boost x86_64"
       "libdeflate-x86_64|built|libdeflate $libdeflate for x86_64 (GCC 12)|$here/build-lib.sh libdeflate x86_64")
n=0
for s in "${steps[@]}"; do
  IFS='|' read -r key verb label command <<<"$s"; n=$((n + 1))
  # shellcheck disable=SC2086 # the command's words
  QZ_STEP_VERB=$verb qz_step "setup [$n/${#steps[@]}] $label" "$logs/setup-$key.log" $command
done
# (A deb-src list that earlier versions added: sources now use apt-source.sh.)
rm -f /etc/apt/sources.list.d/qz-debsrc.sources
