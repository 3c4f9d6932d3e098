#!/usr/bin/env bash
# Makes the private test CA and the stand-in's certificates in DIR (once; later calls return
# at once). Keys stay in DIR, which lives in a build tree and is never committed.
#   ca.pem / ca.key            the test CA
#   localhost.pem / .key       the good certificate (SAN DNS:localhost)
#   otherhost.pem / .key       a valid certificate naming another host
#   expired.pem / .key         a certificate for localhost that expired in 2021
#   userca.pem / .key          a second CA, which the test prefix trusts in the user's own
#                              root store only
#   userroot.pem / .key        a certificate for localhost from that CA
#   proxyonly.pem / .key       the good CA's certificate for packages.kvz7300.test, a name only
#                              the stand-in's proxy resolves
set -euo pipefail
dir=${1:?usage: make-ca.sh DIR}
mkdir -p "$dir"
exec 7>"$dir/.lock"
flock 7

# Made apart from the rest, so a CA directory made before it keeps its CA.
make_user_ca() {
  [ -f "$dir/.complete-userca" ] && return 0
  local work="$dir/openssl-user"
  rm -rf "$work"; mkdir -p "$work"
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
    -keyout "$dir/userca.key" -out "$dir/userca.pem" \
    -subj "/CN=KVZ7300 Test CA trusted by the user only (build tree only)" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    2>/dev/null
  openssl req -newkey rsa:2048 -nodes -keyout "$dir/userroot.key" -out "$work/userroot.csr" \
    -subj "/CN=localhost" 2>/dev/null
  printf '%s\n' "basicConstraints=critical,CA:FALSE" \
    "keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" \
    "subjectAltName=DNS:localhost" > "$work/server.ext"
  openssl x509 -req -in "$work/userroot.csr" -CA "$dir/userca.pem" -CAkey "$dir/userca.key" \
    -set_serial 4096 -days 3650 -sha256 -extfile "$work/server.ext" -out "$dir/userroot.pem" \
    2>/dev/null
  chmod 600 "$dir"/*.key
  touch "$dir/.complete-userca"
}

# A name only the stand-in's proxy resolves, from the main CA; made apart like the one above.
make_proxy_only() {
  [ -f "$dir/.complete-proxyonly" ] && return 0
  local work="$dir/openssl-proxyonly"
  rm -rf "$work"; mkdir -p "$work"
  openssl req -newkey rsa:2048 -nodes -keyout "$dir/proxyonly.key" -out "$work/proxyonly.csr" \
    -subj "/CN=packages.kvz7300.test" 2>/dev/null
  printf '%s\n' "basicConstraints=critical,CA:FALSE" \
    "keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" \
    "subjectAltName=DNS:packages.kvz7300.test" > "$work/server.ext"
  openssl x509 -req -in "$work/proxyonly.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
    -set_serial 8192 -days 3650 -sha256 -extfile "$work/server.ext" -out "$dir/proxyonly.pem" \
    2>/dev/null
  chmod 600 "$dir"/*.key
  touch "$dir/.complete-proxyonly"
}

if [ -f "$dir/.complete" ]; then
  make_user_ca
  make_proxy_only
  exit 0
fi

work="$dir/openssl"
rm -rf "$work"; mkdir -p "$work/new"
: > "$work/index.txt"
echo 1000 > "$work/serial"
cat > "$work/ca.cnf" <<CNF
[ca]
default_ca = test_ca
[test_ca]
dir = $work
database = \$dir/index.txt
new_certs_dir = \$dir/new
serial = \$dir/serial
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
[any]
commonName = supplied
[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = \$ENV::KVZ_SAN
CNF

openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
  -keyout "$dir/ca.key" -out "$dir/ca.pem" -subj "/CN=KVZ7300 Test CA (build tree only)" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  2>/dev/null

issue() {   # name, common name, start date, end date
  local name=$1 cn=$2 start=$3 end=$4
  openssl req -newkey rsa:2048 -nodes -keyout "$dir/$name.key" -out "$work/$name.csr" \
    -subj "/CN=$cn" 2>/dev/null
  KVZ_SAN="DNS:$cn" openssl ca -batch -config "$work/ca.cnf" -extensions server \
    -cert "$dir/ca.pem" -keyfile "$dir/ca.key" -in "$work/$name.csr" -out "$dir/$name.pem" \
    -startdate "$start" -enddate "$end" -notext 2>/dev/null
}
issue localhost localhost 20250101000000Z 20350101000000Z
issue otherhost otherhost.invalid 20250101000000Z 20350101000000Z
issue expired localhost 20200101000000Z 20210101000000Z
chmod 600 "$dir"/*.key
touch "$dir/.complete"
make_user_ca
make_proxy_only
