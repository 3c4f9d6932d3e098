#!/usr/bin/env bash
# Prints which build runs under Wine here: x86 (the 32-bit program that ships) where the kernel
# runs 32-bit code and Wine's 32-bit side is installed, x64 otherwise. KVZ_TEST_ARCH forces one.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
case "${KVZ_TEST_ARCH:-}" in
  x86|x64) echo "$KVZ_TEST_ARCH" ;;
  "") if [ "$("$here/runs-i386.sh")" = yes ] && [ -x /usr/lib/wine/wine ]; then echo x86; else echo x64; fi ;;
  *) echo "KVZ_TEST_ARCH must be x86 or x64, not '$KVZ_TEST_ARCH'" >&2; exit 2 ;;
esac
