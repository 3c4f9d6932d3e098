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
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64

base_prefix="$KVZ_WINE_ROOT/prefix-win7"

kvz_prefix_for() {   # $1 version name -> path of its prefix
  case "$1" in
    ""|win7) echo "$base_prefix" ;;
    win81|win10|vista|win8|winxp) echo "$KVZ_WINE_ROOT/prefix-$1" ;;
    *) echo "unknown Windows version '$1'" >&2; return 1 ;;
  esac
}

kvz_display_file="$KVZ_WINE_ROOT/display"
