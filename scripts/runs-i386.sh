#!/usr/bin/env bash
# Prints "yes" when this machine's kernel runs 32-bit x86 code, "no" when it does not. Some
# machines of ours have IA-32 emulation off, so ask the kernel by running a few bytes of static
# i386 code (exit status 42) rather than reading its logs or configuration. The answer is
# cached in the build tree; KVZ_BUILD_DIR (default: build) chooses it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KVZ_BUILD_DIR:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
cache="$build/runs-i386"
if [ -f "$cache" ] && [ "${1:-}" != --fresh ]; then
  cat "$cache"
  exit 0
fi
mkdir -p "$build"
probe=$(mktemp "$build/.i386-probe.XXXXXX")
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment at 0x08048000, then: mov eax,1; mov ebx,42; int 0x80.
printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0'\
'\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0'\
'\5\0\0\0\0\20\0\0\270\1\0\0\0\273\52\0\0\0\315\200' >"$probe"
chmod +x "$probe"
status=0
"$probe" 2>/dev/null || status=$?
if [ "$status" -eq 42 ]; then answer=yes; else answer=no; fi
echo "$answer" >"$cache"
echo "$answer"
