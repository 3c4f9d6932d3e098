# Sourced by the benchmarks after $build is set: configures the Windows tree the tests run
# (the shipped 32-bit one where this machine runs 32-bit code) and leaves its path in $tree.
if [ "$(scripts/wine-arch.sh)" = x86 ]; then
  tree="$build/windows32"; preset=windows32
else
  tree="$build/windows"; preset=windows
fi
cmake --preset $preset -B "$tree" -DKVZ_BUILD_TESTS=ON >/dev/null
