#!/usr/bin/env bash
# Signs programs of a distribution folder in place with a SHA-256 Authenticode signature
# (osslsigncode). Each is signed to a temporary file beside the folder; they are moved into place
# only when all were signed. On any failure every program named is removed from the folder, so
# no unsigned program is left where a signed one belongs.
#   sign.sh (--cert PEM --key PEM | --pkcs12 FILE --password-file FILE) [--timestamp URL]
#           DIR PROGRAM...          (PROGRAM relative to DIR)
set -euo pipefail
usage="usage: sign.sh (--cert PEM --key PEM | --pkcs12 FILE --password-file FILE)
  [--timestamp URL] DIR PROGRAM..."
credentials=() timestamp=()
while [ $# -gt 0 ]; do
  case "$1" in
    --cert) credentials+=(-certs "$2") ;;
    --key) credentials+=(-key "$2") ;;
    --pkcs12) credentials+=(-pkcs12 "$2") ;;
    # The password stays in its file: never on a command line that others can list.
    --password-file) credentials+=(-readpass "$2") ;;
    --timestamp) timestamp=(-ts "$2") ;;
    -*) echo "$usage" >&2; exit 2 ;;
    *) break ;;
  esac
  shift 2
done
[ $# -ge 2 ] && [ ${#credentials[@]} -gt 0 ] || { echo "$usage" >&2; exit 2; }
dir=$1; shift
programs=("$@")

# Beside the folder, not in it: an interrupted run must not leave a file that gets zipped.
work=$(mktemp -d "$(dirname "$dir")/.signing.XXXXXX")
finished=no
cleanup() {
  if [ $finished != yes ]; then
    for p in "${programs[@]}"; do rm -f "$dir/$p"; done
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

i=0
for p in "${programs[@]}"; do
  i=$((i + 1))
  if ! out=$(osslsigncode sign -h sha256 "${credentials[@]}" "${timestamp[@]}" \
               -in "$dir/$p" -out "$work/$i" 2>&1); then
    echo "$out" >&2
    echo "sign.sh: signing $dir/$p failed; the unsigned programs were removed: ${programs[*]}" >&2
    exit 1
  fi
done
i=0
for p in "${programs[@]}"; do
  i=$((i + 1))
  chmod --reference="$dir/$p" "$work/$i"
  mv -f "$work/$i" "$dir/$p"
done
finished=yes
