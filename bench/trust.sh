#!/usr/bin/env bash
# The time the publisher check adds to an elevated start: one vendor-signed setup program
# started with its publisher pinned and with no pins, alternately (see trust_bench.cpp).
#   bench/trust.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KVZ_BUILD_DIR:-build}
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
export KVZ_BUILD_DIR="$build"
source bench/wine-tree.sh
cmake --build "$tree" -j2 --target trust_bench kvz_standin_packages >/dev/null
tests/harness/wine-setup >/dev/null
bench=$(find "$tree" -name trust_bench.exe | head -1)
program="Z:$(echo "$tree/standin-packages/Publisher-vendor.exe" | tr / '\\')"
tests/harness/wine-run "$bench" "$program" "name:Brightfern Test Vendor" "${1:-15}"
