#!/usr/bin/env bash
# Start-up benchmark under Wine (see startup_bench.cpp). Builds what it needs in the Windows
# tree of KVZ_BUILD_DIR (default build) that the tests run, and prints medians and ratios.
#   bench/startup.sh [runs] [<other Installer.exe, with data\ beside it>]
set -euo pipefail
other=${2:+Z:$(realpath "$2" | tr / '\\')}
source "$(dirname "$0")/wine-tree.sh" kvz_dist startup_bench startup_baseline startup_baseline_dlls
bench_dir=$(dirname "$(find "$tree" -name startup_bench.exe | head -1)")
installer="Z:$(echo "$tree/dist/Installer.exe" | tr / '\\')"
tests/harness/wine-run "$bench_dir/startup_bench.exe" "$installer" "${1:-7}" ${other:+"$other"}
