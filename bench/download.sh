#!/usr/bin/env bash
# Download benchmark under Wine: DownloadToFile (download_bench.exe) against a bare WinINet loop
# with 1 MiB reads (download_baseline.exe), over plain HTTP and over HTTPS, with curl as the
# native reference, all fetching the same 256 MiB file from one loopback nginx (sendfile, fast
# enough that the client is the bottleneck), alternately in the same run; then the peak memory
# of DownloadToFile for a 16 MiB and a 1 GiB package over each protocol. Builds what it needs in
# the Windows tree of KVZ_BUILD_DIR (default build) that the tests run.
#   bench/download.sh [runs]
set -euo pipefail
runs=${1:-5}
source "$(dirname "$0")/wine-tree.sh" download_bench download_baseline
export KVZ_WINE_ROOT="$build/wine"
ours_exe=$(find "$tree" -name download_bench.exe | head -1)
bare_exe=$(find "$tree" -name download_baseline.exe | head -1)
ca="$KVZ_WINE_ROOT/ca"   # the test CA, which the prefix trusts

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

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
https_port=$(free_port)
http_port=$(free_port)
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
    listen 127.0.0.1:$https_port ssl;
    listen 127.0.0.1:$http_port;
    server_name localhost;
    ssl_certificate $ca/localhost.pem;
    ssl_certificate_key $ca/localhost.key;
    root $work/www;
  }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" -e "$work/logs/error.log"
url() {   # protocol, size in MiB
  if [ "$1" = https ]; then echo "https://localhost:$https_port/pkg-$2.bin"
  else echo "http://localhost:$http_port/pkg-$2.bin"; fi
}
for _ in $(seq 50); do
  curl -sf --cacert "$ca/ca.pem" -o /dev/null "$(url https 16)" && break
  sleep 0.1
done

win_out="Z:$(echo "$work/out" | tr / '\\')"
run() {   # exe, protocol, size in MiB -> the program's line
  tests/harness/wine-run "$1" "$(url "$2" "$3")" "$win_out\\pkg.bin" | tr -d '\r'
  rm -f "$work"/out/*
}
timed() {   # exe, protocol -> milliseconds of a checked 256 MiB download
  local line
  line=$(run "$1" "$2" 256)
  case "$line" in *"ok=1"*"bytes=268435456"*) ;; *) echo "download failed: $line" >&2; exit 1 ;; esac
  echo "$line" | sed 's/.* ms=\([0-9.]*\).*/\1/'
}
curl_ms() {   # protocol -> milliseconds
  curl -sf --cacert "$ca/ca.pem" -o "$work/out/curl.bin" -w '%{time_total}' "$(url "$1" 256)" |
    awk '{ printf "%.1f\n", $1 * 1000 }'
  rm -f "$work"/out/*
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Warm the page cache, the prefix and the server.
for p in http https; do run "$ours_exe" $p 16 >/dev/null; run "$bare_exe" $p 16 >/dev/null; done
rm -f "$work"/*.txt
for i in $(seq "$runs"); do
  # Each pair in both orders, alternately, so that neither always runs first.
  for p in http https; do
    if [ $((i % 2)) -eq 1 ]; then
      timed "$ours_exe" $p >> "$work/ours-$p.txt"; timed "$bare_exe" $p >> "$work/bare-$p.txt"
    else
      timed "$bare_exe" $p >> "$work/bare-$p.txt"; timed "$ours_exe" $p >> "$work/ours-$p.txt"
    fi
    curl_ms $p >> "$work/curl-$p.txt"
  done
done
for f in ours-http bare-http curl-http ours-https bare-https curl-https; do
  declare "m_${f/-/_}=$(median < "$work/$f.txt")"
done

mem() {   # protocol, size in MiB -> "peak working set KiB, peak private KiB, max RSS KiB (Linux)"
  local line
  line=$( { /usr/bin/time -f 'rss=%M' tests/harness/wine-run "$ours_exe" "$(url "$1" "$2")" \
            "$win_out\\pkg.bin"; } 2>&1 | tr -d '\r')
  rm -f "$work"/out/*
  echo "$(echo "$line" | sed -n 's/.*peak_ws_kib=\([0-9]*\).*/\1/p') \
$(echo "$line" | sed -n 's/.*peak_private_kib=\([0-9]*\).*/\1/p') \
$(echo "$line" | sed -n 's/^rss=\([0-9]*\)$/\1/p' | tail -1)"
}

echo "256 MiB over loopback from nginx, median of $runs alternating runs ($(basename "$tree"))"
awk -v oh="$m_ours_http" -v bh="$m_bare_http" -v ch="$m_curl_http" \
    -v os="$m_ours_https" -v bs="$m_bare_https" -v cs="$m_curl_https" 'BEGIN {
  printf "                                  http                    https\n"
  printf "  DownloadToFile          %8.1f ms %6.1f MiB/s  %8.1f ms %6.1f MiB/s\n", oh, 256000 / oh, os, 256000 / os
  printf "  bare loop, 1 MiB reads  %8.1f ms %6.1f MiB/s  %8.1f ms %6.1f MiB/s\n", bh, 256000 / bh, bs, 256000 / bs
  printf "  curl (native)           %8.1f ms %6.1f MiB/s  %8.1f ms %6.1f MiB/s\n", ch, 256000 / ch, cs, 256000 / cs
  printf "  ratio bare loop / DownloadToFile   %.2f                    %.2f\n", bh / oh, bs / os
}'
echo "Peak memory of one DownloadToFile (KiB)       16 MiB     1 GiB   ratio"
for p in http https; do
  read -r ws16 pv16 rss16 <<<"$(mem $p 16)"
  read -r ws1g pv1g rss1g <<<"$(mem $p 1024)"
  awk -v p=$p -v a="$ws16" -v b="$ws1g" -v c="$pv16" -v d="$pv1g" -v e="$rss16" -v f="$rss1g" 'BEGIN {
    printf "  %-5s peak working set (Windows view)   %9d %9d   %.2f\n", p, a, b, b / a
    printf "  %-5s peak private bytes (Windows view) %9d %9d   %.2f\n", p, c, d, d / c
    printf "  %-5s max RSS of the process (Linux)    %9d %9d   %.2f\n", p, e, f, f / e
  }'
done
