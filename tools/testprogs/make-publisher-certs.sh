#!/usr/bin/env bash
# Makes the code-signing certificates of the publisher tests in DIR (once; later calls return at
# once). Keys stay in DIR, inside a build tree.
#   root.pem            a test root the test prefix trusts (prefix.d/40-publisher-root.sh)
#   vendor.*            the adapter's vendor, under root; vendor.spki-sha256 is its key pin
#   other.*             another publisher, under root
#   impostor.*          the vendor's name under a second root that nobody trusts
#   expired.*           the vendor's name under root, valid only in 2020
# With BASE, the stand-in's plain-HTTP address (http://localhost:PORT), the vendor's key and name
# again under root, each certificate naming where root's revocation list lies:
#   revoked.*           BASE/packages/publisher-root.crl, which lists it (root.crl is that list)
#   checked.*           the same list, which does not list it
#   unreachable.*       a point where nothing answers (a machine offline)
# Each *.chain.pem is the certificate followed by its root, as the signature carries them.
set -euo pipefail
dir=${1:?usage: make-publisher-certs.sh DIR [BASE]}
base=${2:-}
listed="$base/packages/publisher-root.crl"
unreachable="http://localhost:1/publisher-root.crl"
mkdir -p "$dir"
exec 7>"$dir/.lock"
flock 7
crl_current() { [ -z "$base" ] || [ "$(cat "$dir/crl.points" 2>/dev/null)" = "$listed $unreachable" ]; }
[ -f "$dir/.complete" ] && [ -f "$dir/expired.pem" ] && crl_current && exit 0

ext="$dir/codesign.ext"
printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=codeSigning" > "$ext"

root() {   # name, common name
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout "$dir/$1.key" \
    -out "$dir/$1.pem" -subj "/CN=$2" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
issue() {   # name, common name, root
  openssl req -newkey rsa:2048 -nodes -keyout "$dir/$1.key" -out "$dir/$1.csr" -subj "/CN=$2" \
    2>/dev/null
  openssl x509 -req -in "$dir/$1.csr" -CA "$dir/$3.pem" -CAkey "$dir/$3.key" -set_serial "0x$(openssl rand -hex 8)" \
    -days 3650 -sha256 -extfile "$ext" -out "$dir/$1.pem" 2>/dev/null
  cat "$dir/$1.pem" "$dir/$3.pem" > "$dir/$1.chain.pem"
}
# openssl x509 cannot issue with dates in the past; openssl ca can.
expired() {   # name, common name, root
  local db="$dir/$1.ca"
  mkdir -p "$db"
  : > "$db/index.txt"
  openssl rand -hex 8 > "$db/serial"
  printf '%s\n' "[ca]" "default_ca = issuer" "[issuer]" "database = $db/index.txt" \
    "new_certs_dir = $db" "serial = $db/serial" "default_md = sha256" "policy = any" \
    "[any]" "commonName = supplied" "[sign]" "$(cat "$ext")" > "$db/ca.cnf"
  openssl req -newkey rsa:2048 -nodes -keyout "$dir/$1.key" -out "$dir/$1.csr" -subj "/CN=$2" \
    2>/dev/null
  openssl ca -batch -config "$db/ca.cnf" -cert "$dir/$3.pem" -keyfile "$dir/$3.key" \
    -in "$dir/$1.csr" -out "$dir/$1.pem" -startdate 20200101000000Z -enddate 20210101000000Z \
    -extensions sign -notext 2>/dev/null
  cat "$dir/$1.pem" "$dir/$3.pem" > "$dir/$1.chain.pem"
}
# Root's own records, which openssl ca keeps to list revoked certificates.
root_ca() {
  local db="$dir/root.ca"
  rm -rf "$db"
  mkdir -p "$db"
  : > "$db/index.txt"
  openssl rand -hex 8 > "$db/serial"
  printf '%s\n' "[ca]" "default_ca = issuer" "[issuer]" "database = $db/index.txt" \
    "new_certs_dir = $db" "serial = $db/serial" "default_md = sha256" "default_crl_days = 3650" \
    "policy = any" "[any]" "commonName = supplied" > "$db/ca.cnf"
}
with_crl_point() {   # name, URL: the vendor's request again, the URL as its distribution point
  { cat "$ext"; echo "crlDistributionPoints=URI:$2"; } > "$dir/$1.ext"
  openssl x509 -req -in "$dir/vendor.csr" -CA "$dir/root.pem" -CAkey "$dir/root.key" \
    -set_serial "0x$(openssl rand -hex 8)" -days 3650 -sha256 -extfile "$dir/$1.ext" \
    -out "$dir/$1.pem" 2>/dev/null
  cp "$dir/vendor.key" "$dir/$1.key"
  cat "$dir/$1.pem" "$dir/root.pem" > "$dir/$1.chain.pem"
}
crl_certs() {
  root_ca
  with_crl_point revoked "$listed"
  with_crl_point checked "$listed"
  with_crl_point unreachable "$unreachable"
  local cnf="$dir/root.ca/ca.cnf"
  openssl ca -batch -config "$cnf" -cert "$dir/root.pem" -keyfile "$dir/root.key" \
    -revoke "$dir/revoked.pem" -crl_reason keyCompromise 2>/dev/null
  openssl ca -batch -config "$cnf" -cert "$dir/root.pem" -keyfile "$dir/root.key" -gencrl \
    -out "$dir/root.crl.pem" 2>/dev/null
  openssl crl -in "$dir/root.crl.pem" -outform DER -out "$dir/root.crl"
  echo "$listed $unreachable" > "$dir/crl.points"
}
if [ ! -f "$dir/.complete" ]; then
  root root "KVZ7300 Test Publisher Root (build tree only)"
  root untrusted "KVZ7300 Untrusted Root (build tree only)"
  issue vendor "Brightfern Test Vendor" root
  issue other "Other Test Publisher" root
  issue impostor "Brightfern Test Vendor" untrusted
  openssl x509 -pubkey -noout -in "$dir/vendor.pem" | openssl pkey -pubin -outform DER |
    sha256sum | cut -c1-64 > "$dir/vendor.spki-sha256"
  touch "$dir/.complete"
fi
# Added later: a tree made before it keeps its root (the test prefixes trust that one).
[ -f "$dir/expired.pem" ] || expired expired "Brightfern Test Vendor" root
crl_current || crl_certs
chmod 600 "$dir"/*.key
