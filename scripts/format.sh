#!/usr/bin/env bash
# Formats every C++ file of the project with clang-format and the project's
# .clang-format. With --check it changes nothing and fails, naming the files,
# when any file is not formatted (the test command runs it so).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
if [ "${1:-}" = "--check" ]; then
  if ! clang-format --dry-run --Werror "${files[@]}" 2>/dev/null; then
    clang-format --dry-run "${files[@]}" 2>&1 | grep -o '^[^:]*\.\(cpp\|h\)' | sort -u | sed 's/^/not formatted: /' >&2
    echo "run scripts/format.sh to format them" >&2
    exit 1
  fi
  echo "${#files[@]} files formatted as .clang-format says"
else
  clang-format -i "${files[@]}"
fi
