#!/usr/bin/env bash
# The time the publisher check adds to an elevated start: one vendor-signed setup program
# started with its publisher pinned and with no pins, alternately (see trust_bench.cpp).
#   bench/trust.sh [runs]
set -euo pipefail
source "$(dirname "$0")/wine-tree.sh" trust_bench kvz_standin_packages
bench=$(find "$tree" -name trust_bench.exe | head -1)
program="Z:$(echo "$tree/standin-packages/Publisher-vendor.exe" | tr / '\\')"
tests/harness/wine-run "$bench" "$program" "name:Brightfern Test Vendor" "${1:-15}"
