#!/usr/bin/env bash
# Fails when a tracked C or C++ source is not as clang-format 14 writes it
# with the repository's .clang-format, naming the files and the command that
# formats them. The version is pinned: another one breaks lines differently.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
clang_format=${CLANG_FORMAT:-clang-format-14}
if ! command -v "$clang_format" >/dev/null; then
  echo "format-check.sh: $clang_format is missing (bash scripts/setup-linux.sh linux installs it)" >&2
  exit 1
fi
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h' '*.hpp')
# One run over every file; its warnings begin "path:line:col: ". Without
# -Werror it fails only when it could not read or parse a file.
if ! out=$("$clang_format" --dry-run "${files[@]}" 2>&1); then
  printf '%s\n' "$out" >&2
  echo "format-check.sh: $clang_format failed" >&2
  exit 1
fi
mapfile -t bad < <(printf '%s\n' "$out" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: .*/\1/p' | sort -u)
if [ ${#bad[@]} -gt 0 ]; then
  echo "format-check.sh: not formatted (${#bad[@]} of ${#files[@]} files):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  echo "format them with: $clang_format -i ${bad[*]}" >&2
  exit 1
fi
echo "=== format: ${#files[@]} sources as $clang_format writes them"
