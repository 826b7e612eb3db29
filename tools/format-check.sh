#!/usr/bin/env bash
# Fails when a C++ source or header of the tree is not formatted as
# .clang-format says, naming the files; installs clang-format when missing.
#
#   bash tools/format-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-packages.sh clang-format
mapfile -t files < <(git ls-files '*.cpp' '*.h')
unformatted=()
for file in "${files[@]}"; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "format-check: not formatted (run clang-format -i on them): ${unformatted[*]}" >&2
  exit 1
fi
echo "format-check: ${#files[@]} files formatted as .clang-format says"
