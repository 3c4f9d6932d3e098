#!/usr/bin/env bash
# Builds the Windows third-party parts from Debian's source packages into a cache
# outside git, for 32- and 64-bit x86: JsonCpp (static library) and the 7-Zip standalone
# console archiver 7za.exe.
# Each is built only when missing. Prints nothing on a warm cache.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

cache=${KVZ_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/kvz7300}
mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9   # several build trees may ask at once

fetch_source() {   # $1 source package; leaves the unpacked tree's path in $src
  src=$("$root/scripts/fetch-source.sh" "$1")
}

# 7-Zip before 25.00 follows symbolic links stored in zip archives out of the target folder:
# the archives it unpacks come from the network and their setup program runs elevated.
sevenzip_version() {   # $1 7-Zip source tree; prints "major.minor" or fails
  local header="$1/C/7zVersion.h" major minor
  major=$(sed -n 's/^#define MY_VER_MAJOR \([0-9]*\).*/\1/p' "$header")
  minor=$(sed -n 's/^#define MY_VER_MINOR \([0-9]*\).*/\1/p' "$header")
  [ -n "$major" ] && [ -n "$minor" ] || { echo "No 7-Zip version in $header" >&2; return 1; }
  if [ $((major * 100 + minor)) -lt 2501 ]; then
    echo "7-Zip $major.$(printf %02d "$minor") from the machine's source packages is too old:" \
         "the installer needs 25.01 or later (earlier ones follow links out of the target" \
         "folder). Point apt at a release that has it." >&2
    return 1
  fi
  printf '%d.%02d\n' "$major" "$minor"
}

build_for() {   # $1 target triple, $2 toolchain file
  local triple=$1 toolchain=$2
  local jsoncpp_prefix="$cache/$triple/jsoncpp"
  if [ ! -f "$jsoncpp_prefix/lib/libjsoncpp.a" ]; then
    echo "Building JsonCpp for $triple ..." >&2
    fetch_source libjsoncpp
    rm -rf "$cache/build/jsoncpp-$triple"
    cmake -S "$src" -B "$cache/build/jsoncpp-$triple" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" -DCMAKE_CROSSCOMPILING_EMULATOR= \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$jsoncpp_prefix" \
      -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF \
      -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
      -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DJSONCPP_WITH_CMAKE_PACKAGE=ON >/dev/null
    cmake --build "$cache/build/jsoncpp-$triple" -j2 >/dev/null
    cmake --install "$cache/build/jsoncpp-$triple" >/dev/null
  fi

  # The recipe's version: a cached archiver built by an older recipe is built again.
  local sevenzip="$cache/$triple/7za.exe" recipe=3
  if [ ! -f "$sevenzip" ] || [ "$(cat "$cache/$triple/7za.recipe" 2>/dev/null)" != $recipe ]; then
    echo "Building 7za.exe for $triple ..." >&2
    fetch_source 7zip
    sevenzip_version "$src" >/dev/null
    local bundle="$src/CPP/7zip/Bundles/Alone" x64=""
    [ "$triple" = x86_64-w64-mingw32 ] && x64="IS_X64=1"
    (cd "$bundle" && rm -rf _o b && make -s -f makefile.gcc -j2 IS_MINGW=1 $x64 \
        CC=$triple-gcc-posix CXX=$triple-g++-posix RC=$triple-windres \
        CFLAGS_WARN_WALL= CFLAGS_WARN= CXX_WARN_FLAGS= LDFLAGS_STATIC_2="-static -Wl,--no-insert-timestamp" \
        >"$cache/7za-$triple.log" 2>&1) || { echo "7za build failed: $cache/7za-$triple.log" >&2; exit 1; }
    local built
    built=$(find "$bundle" -name 7za.exe -newer "$cache/src/7zip/.unpacked" | head -n 1)
    [ -n "$built" ] || { echo "7za.exe not produced: $cache/7za-$triple.log" >&2; exit 1; }
    mkdir -p "$cache/$triple"
    # Without SOURCE_DATE_EPOCH strip stamps the PE header with the current time.
    SOURCE_DATE_EPOCH=0 $triple-strip -o "$sevenzip" "$built"
    sevenzip_version "$src" > "$cache/$triple/7za.version"
    echo $recipe > "$cache/$triple/7za.recipe"
    rm -rf "$bundle/_o" "$bundle/b"
  fi
  if [ ! -s "$cache/$triple/7za.version" ]; then
    fetch_source 7zip
    sevenzip_version "$src" > "$cache/$triple/7za.version"
  fi
}

build_for i686-w64-mingw32 mingw-i686.cmake
build_for x86_64-w64-mingw32 mingw-x86_64.cmake
