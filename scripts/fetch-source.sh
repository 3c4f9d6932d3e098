#!/usr/bin/env bash
# Fetches a Debian source package through apt and unpacks it, Debian's patches applied, into
# the cache outside git, once. Prints the unpacked tree's path.
#   scripts/fetch-source.sh PACKAGE
set -euo pipefail
pkg=$1
cache=${KVZ_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/kvz7300}
dir="$cache/src/$pkg"
mkdir -p "$cache/src"
exec 8>"$dir.lock"
flock 8   # the Windows builds and the fuzz tree may ask at once

if [ ! -f "$dir/.unpacked" ]; then
  rm -rf "$dir"; mkdir -p "$dir"
  (cd "$dir" && apt-get source --download-only "$pkg" >/dev/null 2>&1) || {
    echo "apt-get source $pkg failed: is a deb-src entry enabled (scripts/deps.sh)?" >&2; exit 1; }
  (cd "$dir" && dpkg-source --no-check -x ./*.dsc tree >/dev/null)
  touch "$dir/.unpacked"
fi
echo "$dir/tree"
