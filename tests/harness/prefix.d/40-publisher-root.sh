#!/usr/bin/env bash
# Prefix hook: makes the publisher tests' code-signing certificates of this build tree (if
# missing) and trusts their root in the prefix, and only there.
set -euo pipefail
source "$(dirname "$0")/../wine-env.sh"
src="$(cd "$(dirname "$0")/../../.." && pwd)"
dir="$KVZ_WINE_ROOT/publishers"
"$src/tools/testprogs/make-publisher-certs.sh" "$dir"
"$src/tools/driver-service/ca-to-reg.py" "$dir/root.pem" "$dir/trust-root.reg"
# Both registry views: 32-bit programs must see the root as well as 64-bit ones.
"$kvz_wine64" reg import "$dir/trust-root.reg" /reg:64 </dev/null >/dev/null 2>&1
"$kvz_wine64" reg import "$dir/trust-root.reg" /reg:32 </dev/null >/dev/null 2>&1
