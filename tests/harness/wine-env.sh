# Sourced by the harness scripts: the environment of every Wine run. Nothing here touches the
# host's ~/.wine or trust store: HOME, the prefixes and the CA live under KVZ_WINE_ROOT.
harness_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo_root=$(cd "$harness_dir/../.." && pwd)
if [ -z "${KVZ_WINE_ROOT:-}" ]; then
  build=${KVZ_BUILD_DIR:-build}
  case "$build" in /*) ;; *) build="$repo_root/$build" ;; esac
  KVZ_WINE_ROOT="$build/wine"
fi
export KVZ_WINE_ROOT
mkdir -p "$KVZ_WINE_ROOT/home"
export HOME="$KVZ_WINE_ROOT/home"
export XDG_CACHE_HOME="$HOME/.cache" XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
# Must start with -all, or Debian's wrapper prints its wine32 hint on every run.
export WINEDEBUG="${KVZ_WINEDEBUG:--all}"
# KVZ_WINE_NATIVE_DLLS (e.g. version,bcrypt): Wine prefers DLLs of those names found beside the
# program, as Windows does for DLLs that are no Known DLLs, so a test can plant copies.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${KVZ_WINE_NATIVE_DLLS:+;$KVZ_WINE_NATIVE_DLLS=n,b}"
export WINEARCH=win64

# The loaders are named, never Debian's "wine" wrapper: once the 32-bit side is installed the
# wrapper starts 64-bit programs through an extra start.exe, so the PID a caller records would
# not be the program's. One 64-bit server serves 32- and 64-bit programs of a WoW64 prefix.
kvz_wine64=/usr/lib/wine/wine64
kvz_wine32=/usr/lib/wine/wine
export WINESERVER=/usr/lib/wine/wineserver64

base_prefix="$KVZ_WINE_ROOT/prefix-win7"
kvz_display_file="$KVZ_WINE_ROOT/display"

kvz_wineserver() { "$WINESERVER" "$@"; }

# What a prefix was made with. A prefix made by another Wine, or before the 32-bit side came or
# went, fails to start programs (kernel32.dll not found), so it is made afresh when this changes.
kvz_wine_identity() {
  local side=no
  [ -x "$kvz_wine32" ] && side=yes
  echo "$("$kvz_wine64" --version 2>/dev/null) 32-bit:$side"
}

# The stamp a prefix copy must carry to be current: the base's Wine and its hooks.
kvz_base_stamp() {
  echo "$(cat "$base_prefix/.kvz-ready" 2>/dev/null)/$(cat "$base_prefix/.kvz-hooks" 2>/dev/null)"
}

kvz_base_current() {
  [ -f "$base_prefix/.kvz-ready" ] && [ "$(cat "$base_prefix/.kvz-ready")" = "$(kvz_wine_identity)" ]
}

kvz_prefix_for() {   # $1 version name, $2 optional density -> path of its prefix
  local name
  case "$1" in
    ""|win7) name=win7 ;;
    win81|win10|vista|win8|winxp) name=$1 ;;
    *) echo "unknown Windows version '$1'" >&2; return 1 ;;
  esac
  if [ -n "${2:-}" ] && [ "$2" != 96 ]; then
    echo "$KVZ_WINE_ROOT/prefix-$name-dpi$2"
  else
    echo "$KVZ_WINE_ROOT/prefix-$name"
  fi
}

kvz_loader_for() {   # $1 program (a path, or a Wine builtin such as cmd) -> its loader
  local machine="" pe_offset
  if [ -f "$1" ]; then
    pe_offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$pe_offset" ] && machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  fi
  if [ "$machine" = 014c ]; then
    if [ ! -x "$kvz_wine32" ]; then
      echo "wine-run: $1 is a 32-bit program and Wine's 32-bit side ($kvz_wine32) is not installed;" >&2
      echo "wine-run: scripts/deps.sh installs it where the kernel runs 32-bit code." >&2
      return 3
    fi
    echo "$kvz_wine32"
  else
    echo "$kvz_wine64"
  fi
}
