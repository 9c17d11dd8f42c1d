#!/usr/bin/env bash
# apt-source.sh SUITES PACKAGE DEST: one Debian source package (SUITES e.g.
# "bookworm bookworm-updates") from this machine's mirror, through an apt
# state in the cache: the machine's apt sources, lists and caches stay as are.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
suites=${1:?usage: apt-source.sh SUITES PACKAGE DEST} pkg=${2:?} dest=${3:?}
cache=${QZ_CACHE:-/var/cache/qzutilities}
state=$cache/apt-src-${suites%% *}
mirror=$("$here/debian-mirror.sh" || true)
[ -n "$mirror" ] || { echo "apt-source: no Debian mirror in the apt sources" >&2; exit 1; }

mkdir -p "$state/lists/partial" "$state/cache/archives/partial" "$state/parts"
for s in $suites; do echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $s main"; done >"$state/sources.list"
opts=(-q -o Dir::Etc::SourceList="$state/sources.list" -o Dir::Etc::SourceParts="$state/parts"
      -o Dir::State::Lists="$state/lists" -o Dir::Cache="$state/cache"
      -o APT::Sandbox::User=root)
apt-get "${opts[@]}" update >"$state/update.log" 2>&1 || { tail -n 20 "$state/update.log" >&2; exit 1; }
mkdir -p "$dest"
( cd "$dest" && apt-get "${opts[@]}" source --download-only "$pkg" >/dev/null )
