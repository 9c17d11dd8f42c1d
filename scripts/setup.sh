#!/usr/bin/env bash
# Installs every build and test dependency from Debian's packages, then builds
# (or reuses) the static Boost and libdeflate libraries for both Windows targets.
# Idempotent: a second run with everything present does nothing but checks.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

pkgs=(
  cmake ninja-build bison dpkg-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
  wine64 xvfb xauth xdotool faketime
  googletest libutfcpp-dev libz-mingw-w64-dev
  clang libclang-rt-14-dev
  qemu-system-x86 qemu-utils debootstrap linux-image-amd64
  git zip unzip llvm lld
)

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ $(id -u) != 0 ]; then echo "setup: run as root to install: ${missing[*]}" >&2; exit 1; fi
  # Other third-party lists on the machine may be unreachable; that is fine.
  apt-get update -q || true
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# Earlier versions of this script added a deb-src list to the machine's apt;
# source packages now come through an apt state of the cache's own.
rm -f /etc/apt/sources.list.d/qz-debsrc.sources

"$here/build-boost.sh" i686
"$here/build-boost.sh" x86_64
"$here/build-libdeflate.sh" i686
"$here/build-libdeflate.sh" x86_64
"$here/wow64/build-root.sh"
