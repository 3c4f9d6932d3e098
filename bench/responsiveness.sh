#!/usr/bin/env bash
# Responsiveness of the main window during a 256 MiB download at full speed against the same
# measure when idle (see responsiveness_bench.cpp); with "locked", while the benchmark holds a
# lock on all of the installer's log. Uses the Windows tree of KVZ_BUILD_DIR that the tests run.
#   bench/responsiveness.sh [samples] [locked]
set -euo pipefail
source "$(dirname "$0")/wine-tree.sh" responsiveness_bench kvz_workflow_window_tests
port=$(sed -n 's/^KVZ_STANDIN_PORT:STRING=//p' "$tree/CMakeCache.txt")
pidfile="$build/wine/bench-standin.pid"
tools/driver-service/serve --daemon --pidfile "$pidfile" --port "$port" \
  --ca-dir "$build/wine/ca" --packages "$tree/standin-packages" >/dev/null
trap 'tools/driver-service/serve --stop --pidfile "$pidfile"' EXIT
size=$((256 * 1024 * 1024))
# Plain http: the fastest the stand-in delivers, so the most progress a download can report.
url="http://localhost:$((port + 3))/_fault/big.zip?size=$size"
# A plain-http package starts only with a digest from the service to vouch for it.
sha=$(curl -s "$url" | sha256sum | cut -d' ' -f1)
body=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote("{\"status\":true,\"downloadURL\":\"%s\",\"sha256\":\"%s\"}" % (sys.argv[1], sys.argv[2]), safe=""))' "$url" "$sha")
curl -s "http://localhost:$((port + 3))/_control/set?path=/api/rx/RealtekDrivers&type=application/json&body=$body" >/dev/null
e2e="Z:$(echo "$tree/tests/win/workflow/e2e-dist/InstallerAllOffers.exe" | tr / '\\')"
bench=$(find "$tree" -name responsiveness_bench.exe | head -1)
log=""
[ "${2:-}" = locked ] && log='C:\users\'"$(id -un)"'\AppData\Local\KVZ7300\Installer.log'
tests/harness/wine-run "$bench" "$e2e" "${1:-300}" ${log:+"$log"}
