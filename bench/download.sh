#!/usr/bin/env bash
# Download benchmark under Wine: DownloadToFile (download_bench.exe) against curl, both fetching
# the same file from one loopback HTTPS nginx (sendfile, fast enough that the client is the
# bottleneck), alternately in the same run; then the peak memory of a 16 MiB and a 1 GiB
# download. Builds what it needs in the windows tree of KVZ_BUILD_DIR (default build).
#   bench/download.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${KVZ_BUILD_DIR:-build}
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
export KVZ_BUILD_DIR="$build" KVZ_WINE_ROOT="$build/wine"
cmake --preset windows -B "$build/windows" >/dev/null
cmake --build "$build/windows" -j2 --target download_bench >/dev/null
bench_exe=$(find "$build/windows" -name download_bench.exe | head -1)
tests/harness/wine-setup >/dev/null   # the prefix that trusts the test CA
ca="$KVZ_WINE_ROOT/ca"

work="$build/bench-download"
mkdir -p "$work/www" "$work/out" "$work/logs"
cleanup() {
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  rm -f "$work"/out/*
  tests/harness/wine-cleanup >/dev/null 2>&1 || true
}
trap cleanup EXIT

for mib in 16 256 1024; do
  [ -f "$work/www/pkg-$mib.bin" ] || head -c $((mib << 20)) /dev/urandom > "$work/www/pkg-$mib.bin"
done

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat > "$work/nginx.conf" <<CONF
worker_processes 1;
daemon on;
pid $work/nginx.pid;
error_log $work/logs/error.log warn;
$( [ "$(id -u)" -eq 0 ] && echo "user root;" )
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  client_body_temp_path $work/logs;
  proxy_temp_path $work/logs;
  fastcgi_temp_path $work/logs;
  uwsgi_temp_path $work/logs;
  scgi_temp_path $work/logs;
  server {
    listen 127.0.0.1:$port ssl;
    server_name localhost;
    ssl_certificate $ca/localhost.pem;
    ssl_certificate_key $ca/localhost.key;
    root $work/www;
  }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" -e "$work/logs/error.log"
for _ in $(seq 50); do
  curl -sf --cacert "$ca/ca.pem" -o /dev/null "https://localhost:$port/pkg-16.bin" && break
  sleep 0.1
done

win_out="Z:$(echo "$work/out" | tr / '\\')"
ours() {   # size in MiB -> the bench program's line
  tests/harness/wine-run "$bench_exe" "https://localhost:$port/pkg-$1.bin" "$win_out\\ours.bin" \
    | tr -d '\r'
}
curl_ms() {   # size in MiB -> milliseconds
  curl -sf --cacert "$ca/ca.pem" -o "$work/out/curl.bin" -w '%{time_total}' \
    "https://localhost:$port/pkg-$1.bin" | awk '{ printf "%.1f", $1 * 1000 }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

ours 16 >/dev/null; curl_ms 16 >/dev/null   # warm the page cache, the prefix and the server
: > "$work/ours.txt"; : > "$work/curl.txt"
for _ in $(seq "$runs"); do
  line=$(ours 256)
  case "$line" in *"ok=1"*"bytes=268435456"*) ;; *) echo "download failed: $line" >&2; exit 1 ;; esac
  echo "$line" | sed 's/.* ms=\([0-9.]*\).*/\1/' >> "$work/ours.txt"
  curl_ms 256 >> "$work/curl.txt"; echo >> "$work/curl.txt"
  rm -f "$work"/out/*
done
ours_ms=$(median < "$work/ours.txt")
curl_ms=$(median < "$work/curl.txt")

mem() {   # size in MiB -> "peak working set KiB, peak private KiB, max RSS KiB (Linux)"
  local line rss
  line=$( { /usr/bin/time -f 'rss=%M' tests/harness/wine-run "$bench_exe" \
            "https://localhost:$port/pkg-$1.bin" "$win_out\\ours.bin"; } 2>&1 | tr -d '\r')
  rm -f "$work"/out/*
  echo "$(echo "$line" | sed -n 's/.*peak_ws_kib=\([0-9]*\).*/\1/p') \
$(echo "$line" | sed -n 's/.*peak_private_kib=\([0-9]*\).*/\1/p') \
$(echo "$line" | sed -n 's/^rss=\([0-9]*\)$/\1/p' | tail -1)"
}
read -r ws16 pv16 rss16 <<<"$(mem 16)"
read -r ws1g pv1g rss1g <<<"$(mem 1024)"

awk -v o="$ours_ms" -v c="$curl_ms" -v n="$runs" 'BEGIN {
  printf "256 MiB over loopback HTTPS (nginx), median of %d alternating runs\n", n
  printf "  DownloadToFile under Wine: %8.1f ms  %7.1f MiB/s\n", o, 256000 / o
  printf "  curl (native):             %8.1f ms  %7.1f MiB/s\n", c, 256000 / c
  printf "  time ratio DownloadToFile / curl: %.2f\n", o / c
}'
awk -v a="$ws16" -v b="$ws1g" -v c="$pv16" -v d="$pv1g" -v e="$rss16" -v f="$rss1g" 'BEGIN {
  printf "Peak memory of one download (KiB)      16 MiB     1 GiB   ratio\n"
  printf "  peak working set (Windows view)  %9d %9d   %.2f\n", a, b, b / a
  printf "  peak private bytes (Windows view)%9d %9d   %.2f\n", c, d, d / c
  printf "  max RSS of the process (Linux)   %9d %9d   %.2f\n", e, f, f / e
}'
