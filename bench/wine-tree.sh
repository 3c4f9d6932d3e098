# Sourced first by the Wine benchmarks: moves to the repository, resolves KVZ_BUILD_DIR
# (default build) into $build, configures the Windows tree the tests run (the shipped 32-bit
# one where this machine runs 32-bit code), leaves its path in $tree, builds the given targets
# there and makes sure the Wine prefix is ready.
#   source bench/wine-tree.sh target...
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${KVZ_BUILD_DIR:-build}
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
export KVZ_BUILD_DIR="$build"
if [ "$(scripts/wine-arch.sh)" = x86 ]; then
  tree="$build/windows32"; preset=windows32
else
  tree="$build/windows"; preset=windows
fi
cmake --preset $preset -B "$tree" -DKVZ_BUILD_TESTS=ON >/dev/null
cmake --build "$tree" -j2 --target "$@" >/dev/null
tests/harness/wine-setup >/dev/null
