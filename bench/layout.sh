#!/usr/bin/env bash
# Layout benchmark under Wine, with the all-offers installer of the tests (e2e-dist) and the
# driver-service stand-in serving three 64 MiB Bluetooth packages (a Setup.exe beside 64 MiB of
# random bytes, stored): (1) a quiet Bluetooth install taking the package from a layout (/source)
# against the same install downloading it from the stand-in, each timed by the installer's own
# log (the copy with its hash and checks, against DownloadToFile with its sha256); (2) making a
# layout of the three packages (/layout, the whole process: queries, downloads with their checks,
# the copies of the installer, data\ and the packages, the manifest) against the three downloads
# alone (download_bench.exe, DownloadToFile with the installer's limits), alternately in the same
# run. Builds what it needs in the Windows tree of KVZ_BUILD_DIR (default build) that the tests
# run.
#   bench/layout.sh [runs]
set -euo pipefail
runs=${1:-5}
source "$(dirname "$0")/wine-tree.sh" kvz_workflow_window_tests download_bench
export KVZ_WINE_ROOT="$build/wine"
dl_exe=$(find "$tree" -name download_bench.exe | head -1)
installer="$tree/tests/win/workflow/e2e-dist/InstallerAllOffers.exe"
windows() { echo "Z:$(echo "$1" | tr / '\\')"; }

work="$build/bench-layout"
mkdir -p "$work/packages" "$work/out"
python3 - "$tree/standin-packages" "$work/packages" <<'PY'
import os, sys, zipfile
source, out = sys.argv[1], sys.argv[2]
for token in ("win7", "win8", "win10"):
    path = os.path.join(out, "RealtekBT-8821CU-%s.zip" % token)
    if os.path.exists(path):
        continue
    with zipfile.ZipFile(os.path.join(source, os.path.basename(path))) as z:
        setup = z.read("RealtekBT-%s/Setup.exe" % token)
    with zipfile.ZipFile(path + ".tmp", "w") as z:
        z.writestr("RealtekBT-%s/Setup.exe" % token, setup)
        z.writestr("RealtekBT-%s/driver.bin" % token, os.urandom(64 << 20),
                   compress_type=zipfile.ZIP_STORED)
    os.replace(path + ".tmp", path)
PY

# The port the installer was built for.
port=$(sed -n 's/^KVZ_STANDIN_PORT:STRING=//p' "$tree/CMakeCache.txt")
cleanup() {
  tools/driver-service/serve --stop --pidfile "$work/standin.pid" >/dev/null 2>&1 || true
  rm -rf "$work/out"/* "$work/layout"
  tests/harness/wine-cleanup >/dev/null 2>&1 || true
}
trap cleanup EXIT
tools/driver-service/serve --daemon --pidfile "$work/standin.pid" --port "$port" \
  --ca-dir "$KVZ_WINE_ROOT/ca" --packages "$work/packages" >/dev/null
logs=$(find "$KVZ_WINE_ROOT/prefix-win7/drive_c/users" -path '*/AppData/Local' -type d | head -1)/KVZ7300
layout="$work/layout"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
install() {   # service|layout -> ms the installer took to bring the package into its folder
  rm -f "$logs/Installer.log"
  if [ "$1" = layout ]; then
    tests/harness/wine-run "$installer" /quiet /bluetooth /source "$(windows "$layout")" >/dev/null
    tr -d '\r' < "$logs/Installer.log" | sed -n 's/.*Taken from the layout: .* in \([0-9]*\) ms$/\1/p'
  else
    tests/harness/wine-run "$installer" /quiet /bluetooth >/dev/null
    sed -n 's/.*Download of .* complete: .* in \([0-9]*\) ms over .*/\1/p' "$logs/Installer.log"
  fi
}
make_layout() {   # -> ms of the whole /layout run
  rm -rf "$layout"
  local start; start=$(now_ms)
  tests/harness/wine-run "$installer" /layout "$(windows "$layout")" /bluetooth >/dev/null
  echo $(( $(now_ms) - start ))
  for token in win7 win8 win10; do
    cmp -s "$layout/RealtekBT-8821CU-$token.zip" "$work/packages/RealtekBT-8821CU-$token.zip" ||
      { echo "layout: wrong bytes for $token" >&2; exit 1; }
  done
}
downloads() {   # -> ms of three download_bench.exe runs, one package each
  local start; start=$(now_ms)
  for token in win7 win8 win10; do
    tests/harness/wine-run "$dl_exe" "https://localhost:$port/packages/RealtekBT-8821CU-$token.zip" \
      "$(windows "$work/out")\\$token.zip" | grep -q "ok=1" ||
      { echo "download of $token failed" >&2; exit 1; }
  done
  echo $(( $(now_ms) - start ))
  rm -f "$work/out"/*
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

make_layout >/dev/null   # warm the prefix, the page cache and the stand-in's digests
install service >/dev/null
rm -f "$work"/*.txt
for i in $(seq "$runs"); do
  if [ $((i % 2)) -eq 1 ]; then
    install service >> "$work/service.txt"; install layout >> "$work/from-layout.txt"
    make_layout >> "$work/layout.txt"; downloads >> "$work/downloads.txt"
  else
    install layout >> "$work/from-layout.txt"; install service >> "$work/service.txt"
    downloads >> "$work/downloads.txt"; make_layout >> "$work/layout.txt"
  fi
done
s=$(median < "$work/service.txt"); l=$(median < "$work/from-layout.txt")
m=$(median < "$work/layout.txt"); d=$(median < "$work/downloads.txt")
echo "64 MiB Bluetooth packages, median of $runs alternating runs ($(basename "$tree"))"
awk -v s="$s" -v l="$l" -v m="$m" -v d="$d" 'BEGIN {
  printf "  install: package downloaded from the stand-in   %9.1f ms\n", s
  printf "  install: package copied from the layout         %9.1f ms   ratio %.2f\n", l, l / s
  printf "  three downloads (download_bench.exe)            %9.1f ms\n", d
  printf "  /layout of the three packages                   %9.1f ms   ratio %.2f\n", m, m / d
}'
