#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: when every
# package is present it returns at once without touching apt.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

native_pkgs=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libboost-dev googletest libgtest-dev libjsoncpp-dev
  wine wine64 xvfb xdotool imagemagick x11-utils
  openssl python3 curl zip unzip dpkg-dev file
  nginx-light osslsigncode clang-format
)
# Wine's 32-bit side runs the shipped 32-bit program, where the kernel runs 32-bit code at all.
runs_i386=$("$here/runs-i386.sh")
if [ "$runs_i386" = yes ]; then
  native_pkgs+=(wine32:i386)
fi

missing=()
for p in "${native_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
src_list=/etc/apt/sources.list.d/kvz-deb-src.sources
need_src=0
grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list.d/ /etc/apt/sources.list || need_src=1

if [ ${#missing[@]} -eq 0 ] && [ $need_src -eq 0 ]; then
  exit 0
fi
if [ "$runs_i386" = no ]; then
  echo "deps: this kernel does not run 32-bit x86 code; Wine's 32-bit side is not installed and the tests run the x86_64 build."
fi

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")

# Source entries for the distribution's own archives, taken from the machine's deb entries
# (same URIs, suites and components), so a mirror keeps working. Third-party archives are left
# out: they rarely publish sources, and a missing index fails apt-get update.
deb_src_entries() {
  [ -n "$codename" ] || { echo "deps: no VERSION_CODENAME in /etc/os-release" >&2; return 1; }
  local files=()
  shopt -s nullglob
  files=(/etc/apt/sources.list.d/*.sources)
  [ ${#files[@]} -eq 0 ] || awk -v cn="$codename" -v out="deb822" -f "$here/deb-src.awk" "${files[@]}"
  files=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list)
  for f in "${files[@]}"; do
    [ -f "$f" ] && awk -v cn="$codename" -v out="line" -f "$here/deb-src.awk" "$f"
  done
  return 0
}

if [ $need_src -eq 1 ]; then
  entries=$(deb_src_entries)
  [ -n "$entries" ] || { echo "deps: found no apt source for this distribution to add deb-src entries to" >&2; exit 1; }
  printf '%s\n' "$entries" | $SUDO tee "$src_list" >/dev/null
fi
if [ "$runs_i386" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
# A mirror in the middle of a sync fails the update for a while: try again, then go on with the
# indexes there are (the install below says so if a package is missing from them).
updated=yes
for attempt in 1 2 3 4; do
  $SUDO apt-get update -qq && break
  [ $attempt -eq 4 ] && { updated=no; echo "deps: apt-get update failed; going on with the indexes there are" >&2; break; }
  sleep $((attempt * 15))
done
if [ ${#missing[@]} -gt 0 ]; then
  if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    # One architecture's index of the updates suite missing leaves amd64 and i386 at different
    # versions; the release's own suite has both at the same.
    [ $updated = no ] && [ -n "$codename" ] || exit 1
    echo "deps: installing from $codename itself, without its updates, until the mirror has synced" >&2
    $SUDO apt-get install -y -qq --no-install-recommends -t "$codename" "${missing[@]}" >/dev/null
  fi
fi
