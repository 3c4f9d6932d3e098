#!/usr/bin/env bash
# Resume benchmark under Wine: DownloadToFile (download_bench.exe, the installer's own limits and
# retries) fetches a 64 MiB package over HTTPS from the driver-service stand-in, once over a
# clean link and once over a link that resets the connection after every 16 MiB of a reply,
# alternately in the same run. Reports the bytes the stand-in sent for the package divided by its
# size, and the time of the broken download against the clean one. Builds what it needs in the
# Windows tree of KVZ_BUILD_DIR (default build) that the tests run.
#   bench/resume.sh [runs]
set -euo pipefail
runs=${1:-5}
source "$(dirname "$0")/wine-tree.sh" download_bench
export KVZ_WINE_ROOT="$build/wine"
exe=$(find "$tree" -name download_bench.exe | head -1)

work="$build/bench-resume"
mkdir -p "$work/packages" "$work/out"
size=$((64 << 20))
[ -f "$work/packages/pkg-64.bin" ] || head -c $size /dev/urandom > "$work/packages/pkg-64.bin"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cleanup() {
  tools/driver-service/serve --stop --pidfile "$work/standin.pid" >/dev/null 2>&1 || true
  rm -f "$work"/out/*
  tests/harness/wine-cleanup >/dev/null 2>&1 || true
}
trap cleanup EXIT
# Its fault ports (+1 to +3) go unused; a busy one fails the start, and a rerun picks again.
tools/driver-service/serve --daemon --pidfile "$work/standin.pid" --port "$port" \
  --ca-dir "$KVZ_WINE_ROOT/ca" --packages "$work/packages" >/dev/null

control() { curl -sf --cacert "$KVZ_WINE_ROOT/ca/ca.pem" "https://localhost:$port/_control/$1"; }
sent() {   # body bytes the stand-in wrote for the package since the log was cleared
  control log | python3 -c 'import json, sys
print(sum(e["sent"] for e in json.load(sys.stdin) if e["path"] == "/packages/pkg-64.bin"))'
}
win_out="Z:$(echo "$work/out" | tr / '\\')"
run() {   # clean|broken -> "ms sent requests"
  control clear >/dev/null
  control clear-log >/dev/null
  [ "$1" = broken ] && control "set?path=/packages/pkg-64.bin&reset=$((16 << 20))" >/dev/null
  local line
  line=$(tests/harness/wine-run "$exe" "https://localhost:$port/packages/pkg-64.bin" \
           "$win_out\\pkg.bin" | tr -d '\r')
  case "$line" in *"ok=1"*"bytes=$size "*) ;; *) echo "$1 download failed: $line" >&2; exit 1 ;; esac
  cmp -s "$work/out/pkg.bin" "$work/packages/pkg-64.bin" || { echo "$1: wrong bytes" >&2; exit 1; }
  rm -f "$work"/out/*
  echo "$(echo "$line" | sed 's/.* ms=\([0-9.]*\).*/\1/') $(sent) \
$(control log | grep -c '"path": "/packages/pkg-64.bin"')"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

run clean >/dev/null   # warm the page cache, the prefix and the stand-in's digest
rm -f "$work"/*.txt
for i in $(seq "$runs"); do
  if [ $((i % 2)) -eq 1 ]; then
    run clean >> "$work/clean.txt"; run broken >> "$work/broken.txt"
  else
    run broken >> "$work/broken.txt"; run clean >> "$work/clean.txt"
  fi
done
clean_ms=$(cut -d' ' -f1 "$work/clean.txt" | median)
broken_ms=$(cut -d' ' -f1 "$work/broken.txt" | median)
clean_sent=$(cut -d' ' -f2 "$work/clean.txt" | median)
broken_sent=$(cut -d' ' -f2 "$work/broken.txt" | median)
worst_sent=$(cut -d' ' -f2 "$work/broken.txt" | sort -g | tail -1)
requests=$(cut -d' ' -f3 "$work/broken.txt" | median)

echo "64 MiB over HTTPS from the stand-in, median of $runs alternating runs ($(basename "$tree"))"
awk -v cm="$clean_ms" -v bm="$broken_ms" -v cs="$clean_sent" -v bs="$broken_sent" \
    -v ws="$worst_sent" -v rq="$requests" -v size="$size" 'BEGIN {
  printf "                                   time        sent / size\n"
  printf "  clean link                  %9.1f ms     %.3f\n", cm, cs / size
  printf "  reset after every 16 MiB    %9.1f ms     %.3f (worst %.3f), %d requests\n", bm, bs / size, ws / size, rq
  printf "  ratio broken / clean time   %9.2f\n", bm / cm
}'
