#!/usr/bin/env bash
# Makes a test code-signing CA and a code-signing certificate it issued, in DIR (once; later
# calls return at once). DIR lies in a build tree: never in dist/, never committed.
#   ca.pem / ca.key               the test code-signing CA (trusted only inside the test prefixes)
#   signer.pem / signer.key       the signer, extendedKeyUsage codeSigning
#   signer.p12 / signer.password  the same certificate and key as PKCS#12, and its password
set -euo pipefail
dir=${1:?usage: make-codesign-cert.sh DIR}
mkdir -p "$dir"
exec 7>"$dir/.lock"
flock 7
[ -f "$dir/.complete" ] && exit 0

umask 077
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
  -keyout "$dir/ca.key" -out "$dir/ca.pem" -subj "/CN=KVZ7300 Test Code Signing CA (build tree only)" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout "$dir/signer.key" -out "$dir/signer.csr" \
  -subj "/CN=KVZ7300 Test Signer" 2>/dev/null
printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=codeSigning" > "$dir/signer.ext"
openssl x509 -req -in "$dir/signer.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -sha256 \
  -set_serial "0x$(openssl rand -hex 8)" -days 3650 -extfile "$dir/signer.ext" \
  -out "$dir/signer.pem" 2>/dev/null
openssl rand -hex 16 > "$dir/signer.password"
openssl pkcs12 -export -in "$dir/signer.pem" -inkey "$dir/signer.key" -name "KVZ7300 Test Signer" \
  -passout "file:$dir/signer.password" -out "$dir/signer.p12"
rm -f "$dir/signer.csr" "$dir/signer.ext"
chmod 644 "$dir/ca.pem" "$dir/signer.pem"
touch "$dir/.complete"
