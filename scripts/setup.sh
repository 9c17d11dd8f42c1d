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

need_src=0
[ -f /etc/apt/sources.list.d/qz-debsrc.sources ] || need_src=1

if [ ${#missing[@]} -gt 0 ] || [ $need_src = 1 ]; then
  if [ $(id -u) != 0 ]; then echo "setup: run as root to install: ${missing[*]}" >&2; exit 1; fi
  if [ $need_src = 1 ]; then
    # Source packages from the same mirror apt already uses.
    mirror=$("$here/debian-mirror.sh" || true)
    [ -n "$mirror" ] || { echo "setup: no Debian mirror in the apt sources" >&2; exit 1; }
    cat > /etc/apt/sources.list.d/qz-debsrc.sources <<SRC
Types: deb-src
URIs: $mirror
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fi
  # Other third-party lists on the machine may be unreachable; that is fine.
  apt-get update -q || true
  if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
fi

"$here/build-boost.sh" i686
"$here/build-boost.sh" x86_64
"$here/build-libdeflate.sh" i686
"$here/build-libdeflate.sh" x86_64
