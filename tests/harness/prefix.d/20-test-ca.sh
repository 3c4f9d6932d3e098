#!/usr/bin/env bash
# Prefix hook: makes the private test CA of this build tree (if missing) and trusts it in the
# prefix, and only there. The stand-in driver service presents certificates from it. A second
# CA goes into the user's own root store only, as any program of the user could put it there.
set -euo pipefail
source "$(dirname "$0")/../wine-env.sh"
tools="$(cd "$(dirname "$0")/../../../tools/driver-service" && pwd)"
ca="$KVZ_WINE_ROOT/ca"
"$tools/make-ca.sh" "$ca"
"$tools/ca-to-reg.py" "$ca/ca.pem" "$ca/trust-ca.reg"
# Both registry views: 32-bit programs must see the root as well as 64-bit ones.
"$kvz_wine64" reg import "$ca/trust-ca.reg" /reg:64 </dev/null >/dev/null 2>&1
"$kvz_wine64" reg import "$ca/trust-ca.reg" /reg:32 </dev/null >/dev/null 2>&1
"$tools/ca-to-reg.py" --user "$ca/userca.pem" "$ca/trust-userca.reg"
"$kvz_wine64" reg import "$ca/trust-userca.reg" </dev/null >/dev/null 2>&1
