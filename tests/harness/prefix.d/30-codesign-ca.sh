#!/usr/bin/env bash
# Prefix hook: makes the test code-signing CA of this build tree (if missing) and trusts it in
# the prefix, and only there, so Windows judges the test-signed programs as a user's machine
# that trusts their issuer would.
set -euo pipefail
source "$(dirname "$0")/../wine-env.sh"
dir="$KVZ_WINE_ROOT/codesign"
"$harness_dir/make-codesign-cert.sh" "$dir"
"$repo_root/tools/driver-service/ca-to-reg.py" "$dir/ca.pem" "$dir/trust-ca.reg"
# Both registry views: 32-bit programs must see the root as well as 64-bit ones.
"$kvz_wine64" reg import "$dir/trust-ca.reg" /reg:64 </dev/null >/dev/null 2>&1
"$kvz_wine64" reg import "$dir/trust-ca.reg" /reg:32 </dev/null >/dev/null 2>&1
