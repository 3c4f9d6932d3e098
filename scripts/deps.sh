#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: when every
# package is present it returns at once without touching apt.
set -euo pipefail

native_pkgs=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libboost-dev googletest libgtest-dev libjsoncpp-dev
  wine wine64 xvfb xdotool imagemagick x11-utils
  openssl python3 curl zip unzip dpkg-dev file
  nginx-light
)
# No wine32:i386: these machines run 64-bit user code only (the kernel refuses i386
# executables), so Wine runs the x86_64 build of the tests; see README.md.

missing=()
for p in "${native_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
need_src=0
grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ /etc/apt/sources.list 2>/dev/null || need_src=1

if [ ${#missing[@]} -eq 0 ] && [ $need_src -eq 0 ]; then
  exit 0
fi

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive

if [ $need_src -eq 1 ]; then
  # Source packages: jsoncpp and 7zip are built for Windows from them.
  $SUDO tee /etc/apt/sources.list.d/kvz-deb-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
fi
$SUDO apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
