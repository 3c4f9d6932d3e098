#!/usr/bin/env bash
# Fails, listing the files, when a C++ file of the tree differs from what the project's
# .clang-format makes of it. Only clang-format 14 is accepted: other versions lay the same
# configuration out differently, so their verdict would not match the committed files.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

find_clang_format() {
  local c
  for c in clang-format-14 clang-format; do
    command -v "$c" >/dev/null 2>&1 || continue
    if "$c" --version | grep -Eq 'version 14\.'; then
      echo "$c"
      return 0
    fi
  done
  return 1
}
if ! cf=$(find_clang_format); then
  echo "check-format: clang-format 14 not found (Debian package clang-format)" >&2
  exit 2
fi
[ -f .clang-format ] || { echo "check-format: no .clang-format in $root" >&2; exit 2; }

# Tracked files only, so build folders and scratch files never count.
files=()
if [ "$(git rev-parse --show-toplevel 2>/dev/null || true)" = "$root" ]; then
  while IFS= read -r -d '' f; do
    [ -f "$f" ] && files+=("$f")
  done < <(git ls-files -z -- '*.cpp' '*.h')
else
  while IFS= read -r -d '' f; do
    files+=("$f")
  done < <(find Installer tests tools bench -type d -name 'build*' -prune \
             -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null | sort -z)
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "check-format: no C++ files found under $root" >&2
  exit 2
fi

# One run over all files; each unformatted file yields one "file:line:col: error" line.
set +e
out=$(printf '%s\0' "${files[@]}" |
  xargs -0 "$cf" --style=file --dry-run -Werror --ferror-limit=1 -- 2>&1)
rc=$?
set -e
unformatted=()
while IFS= read -r f; do
  [ -n "$f" ] && unformatted+=("$f")
done < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' <<<"$out" | sort -u)

status=0
# A file clang-format cannot read is a failure of the check, not a layout difference.
if [ $rc -ne 0 ] && [ ${#unformatted[@]} -eq 0 ]; then
  echo "check-format: clang-format failed:" >&2
  echo "$out" >&2
  status=2
fi
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "check-format: ${#unformatted[@]} of ${#files[@]} files are not formatted:" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  echo "fix with: $cf -i <file>..." >&2
  [ $status -ne 0 ] || status=1
fi
[ $status -ne 0 ] || echo "check-format: ${#files[@]} files formatted"
exit $status
