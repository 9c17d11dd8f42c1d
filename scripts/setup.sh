#!/usr/bin/env bash
# Sets up this machine for the build, a line a step (each step's whole
# output in build/logs/setup-*.log): Debian's packages, the Debian 13 root
# (Wine 10 for the i686 DLL, and its toolchain, clang and lld 19), and the
# static Boost and libdeflate libraries, built into the cache outside the
# clone (QZ_CACHE, /var/cache/qzutilities). A second run reuses all of it.
#   usage: setup.sh [--demo]
#   --demo: only what scripts/demo.sh runs (the i686 build and its root);
#   else also the x86_64 build (this machine's MinGW-w64 GCC 12 and wine64),
#   the native lane and the VM lane of the tests, and the release.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/steps.sh"
logs=$here/../build/logs
demo=0; [ "${1:-}" = --demo ] && demo=1

# The demo's: mmdebstrap makes the root; patch applies patches/boost, bison
# and g++ build Boost's b2.
pkgs=(mmdebstrap patch bison g++ xz-utils python3)
if [ "$demo" = 0 ]; then
  pkgs+=(
    cmake ninja-build dpkg-dev
    g++-mingw-w64-x86-64-posix wine64 xvfb xauth xdotool faketime
    googletest libutfcpp-dev libz-mingw-w64-dev
    clang libclang-rt-14-dev
    qemu-system-x86 qemu-utils linux-image-amd64
    git zip unzip llvm lld
  )
fi

packages() {
  local missing=() p
  for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} = 0 ]; then echo "packages: cached (all ${#pkgs[@]} installed)"; return; fi
  [ "$(id -u)" = 0 ] || { echo "setup: run as root to install: ${missing[*]}"; return 1; }
  echo "installing: ${missing[*]}"
  # Other third-party lists on the machine may be unreachable; that is fine.
  apt-get update -q || true
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
  IFS='|' read -r key verb label command <<<"$s"
  n=$((n + 1))
  # shellcheck disable=SC2086 # the command's words
  QZ_STEP_VERB=$verb qz_step "setup [$n/${#steps[@]}] $label" "$logs/setup-$key.log" $command
done
# Earlier versions of this script added a deb-src list to the machine's apt;
# source packages now come through an apt state of the cache's own.
rm -f /etc/apt/sources.list.d/qz-debsrc.sources
