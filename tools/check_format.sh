#!/usr/bin/env bash
# Fails, naming the files, when a tracked C or C++ file differs from what
# clang-format (Debian's, with the repository's .clang-format) makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cc' '*.h' '*.c')
differ=()
for file in "${files[@]}"; do
  if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
    differ+=("$file")
  fi
done
if [ ${#differ[@]} -gt 0 ]; then
  echo "Not formatted (run clang-format -i on them):"
  printf '  %s\n' "${differ[@]}"
  exit 1
fi
echo "${#files[@]} files formatted"
