#!/usr/bin/env bash
# Download benchmark under Wine: a 256 MiB Bluetooth package downloaded by the all-offers
# installer with a pinned publisher (so that plain http without a sha256 is taken too) through
# its window (the button clicked by responsiveness_bench.exe; the time is
# DownloadToFile's own, from the installer's log, with the window's progress path, the log and
# the program's other threads all running) against a bare WinINet loop with 1 MiB reads
# (download_baseline.exe, which hashes with CNG as it reads when the case has a sha256), over
# plain HTTP and over HTTPS, with and without a sha256 from the driver service, with curl as
# the native reference, all fetching the same file from one loopback nginx (sendfile, fast
# enough that the client is the bottleneck), alternately in the same run; then the peak memory
# of DownloadToFile alone (download_bench.exe) for a 16 MiB and a 1 GiB package over each
# protocol. Builds what it needs in the Windows tree of KVZ_BUILD_DIR (default build) that the
# tests run.
#   bench/download.sh [runs]
set -euo pipefail
runs=${1:-5}
source "$(dirname "$0")/wine-tree.sh" download_bench download_baseline responsiveness_bench \
  kvz_workflow_window_tests InstallerPinned
export KVZ_WINE_ROOT="$build/wine"
ours_exe=$(find "$tree" -name download_bench.exe | head -1)
bare_exe=$(find "$tree" -name download_baseline.exe | head -1)
window_exe=$(find "$tree" -name responsiveness_bench.exe | head -1)
# KVZ_BENCH_INSTALLER: another build of the pinned installer (with data\ beside it) instead.
installer="Z:$(echo "${KVZ_BENCH_INSTALLER:-$tree/tests/win/workflow/e2e-dist/InstallerPinned.exe}" |
  tr / '\\')"
ca="$KVZ_WINE_ROOT/ca"   # the test CA, which the prefix trusts

work="$build/bench-download"
mkdir -p "$work/www" "$work/out" "$work/logs"
cleanup() {
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  rm -f "$work"/out/*
  tools/driver-service/serve --stop --pidfile "$work/standin.pid" || true
  tests/harness/wine-cleanup >/dev/null 2>&1 || true
}
trap cleanup EXIT

for mib in 16 256 1024; do
  [ -f "$work/www/pkg-$mib.bin" ] || head -c $((mib << 20)) /dev/urandom > "$work/www/pkg-$mib.bin"
done
# The Bluetooth workflow takes an archive: the same bytes under an archive's name.
ln -sf pkg-256.bin "$work/www/pkg-256.zip"
sha=$(sha256sum "$work/www/pkg-256.bin" | cut -d' ' -f1)

port=$(sed -n 's/^KVZ_STANDIN_PORT:STRING=//p' "$tree/CMakeCache.txt")
tools/driver-service/serve --daemon --pidfile "$work/standin.pid" --port "$port" \
  --ca-dir "$ca" --packages "$tree/standin-packages" >/dev/null
logs=$(find "$KVZ_WINE_ROOT/prefix-win7/drive_c/users" -path '*/AppData/Local' -type d | head -1)/KVZ7300

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
run() {   # exe, protocol, size in MiB[, sha256] -> the program's line
  tests/harness/wine-run "$1" "$(url "$2" "$3")" "$win_out\\pkg.bin" ${4:+sha256} | tr -d '\r'
  rm -f "$work"/out/*
}
timed() {   # exe, protocol[, sha256] -> milliseconds of a checked 256 MiB download
  local line
  line=$(run "$1" "$2" 256 "${3:-}")
  case "$line" in *"ok=1"*"bytes=268435456"*) ;; *) echo "download failed: $line" >&2; exit 1 ;; esac
  echo "$line" | sed 's/.* ms=\([0-9.]*\).*/\1/'
}
# The driver service offers the package (with its digest when asked) to the Bluetooth command.
offer() {   # protocol[, sha256]
  local body
  body="{\"status\":true,\"downloadURL\":\"$(url "$1" 256 | sed 's/bin$/zip/')\"${2:+,\"sha256\":\"$sha\"}}"
  curl -sf "http://localhost:$((port + 3))/_control/set?path=/api/rx/RealtekDrivers&type=application/json&body=$(
    python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1], safe=""))' "$body")" >/dev/null
}
window_ms() {   # protocol[, sha256] -> milliseconds DownloadToFile took in the installer
  local line
  offer "$1" "${2:-}"
  rm -f "$logs"/*.log
  tests/harness/wine-run "$window_exe" "$installer" download >/dev/null ||
    { echo "the window's download did not end at 100 ($1 ${2:-})" >&2; exit 1; }
  line=$(cat "$logs"/*.log | tr -d '\r' | grep -a 'pkg-256.zip complete: 268435456 bytes' | tail -1)
  [ -n "$line" ] || { echo "no complete download in the installer's log" >&2; exit 1; }
  echo "$line" | sed 's/.* in \([0-9]*\) ms.*/\1/'
}
curl_ms() {   # protocol -> milliseconds
  curl -sf --cacert "$ca/ca.pem" -o "$work/out/curl.bin" -w '%{time_total}' "$(url "$1" 256)" |
    awk '{ printf "%.1f\n", $1 * 1000 }'
  rm -f "$work"/out/*
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# KVZ_BENCH_CASES narrows the cases, as in "https,https sha256".
IFS=, read -r -a cases <<<"${KVZ_BENCH_CASES:-http,http sha256,https,https sha256}"
# Warm the page cache, the prefix and the server.
for p in http https; do run "$ours_exe" $p 16 >/dev/null; run "$bare_exe" $p 16 >/dev/null; done
window_ms https >/dev/null
rm -f "$work"/*.txt
for i in $(seq "$runs"); do
  # Each pair in both orders, alternately, so that neither always runs first.
  for c in "${cases[@]}"; do
    read -r p h <<<"$c"
    f="${p}${h:+-$h}"
    if [ $((i % 2)) -eq 1 ]; then
      window_ms $p $h >> "$work/ours-$f.txt"; timed "$bare_exe" $p $h >> "$work/bare-$f.txt"
    else
      timed "$bare_exe" $p $h >> "$work/bare-$f.txt"; window_ms $p $h >> "$work/ours-$f.txt"
    fi
  done
  for p in http https; do curl_ms $p >> "$work/curl-$p.txt"; done
done

echo "256 MiB over loopback from nginx, median of $runs alternating runs ($(basename "$tree"))"
printf "  %-14s %14s %14s %9s %11s %9s\n" case "installer" "bare loop" "ratio" "paired" "curl"
for c in "${cases[@]}"; do
  read -r p h <<<"$c"
  f="${p}${h:+-$h}"
  # paired: the median of each run's own ratio, which a machine's drift between runs moves less
  awk -v c="$c" -v o="$(median < "$work/ours-$f.txt")" -v b="$(median < "$work/bare-$f.txt")" \
      -v r="$(paste "$work/bare-$f.txt" "$work/ours-$f.txt" | awk '{ print $1 / $2 }' | median)" \
      -v k="$(median < "$work/curl-$p.txt")" 'BEGIN {
    printf "  %-14s %11.1f ms %11.1f ms %9.2f %11.2f %6.1f ms\n", c, o, b, b / o, r, k }'
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
