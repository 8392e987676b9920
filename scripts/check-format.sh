#!/usr/bin/env bash
# Checks that every C++ file of the repository is laid out as its .clang-format says
# (clang-format 14, as Debian 12 has it). Lists the files that are not and fails;
# `clang-format -i FILE` lays one out.
set -euo pipefail
cd "$(dirname "$0")/.."
# Version 14 where several are installed; Debian 12's plain clang-format is 14.
format=${CLANG_FORMAT:-$(command -v clang-format-14 || echo clang-format)}
if ! command -v "$format" >/dev/null; then
  echo "check-format: $format not found (Debian package clang-format)" >&2
  exit 2
fi
unformatted=()
while IFS= read -r -d '' file; do
  "$format" --style=file "$file" | cmp -s - "$file" || unformatted+=("$file")
done < <(git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h')
if [ ${#unformatted[@]} -ne 0 ]; then
  echo "Not formatted with clang-format ($($format --version)):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  echo "Run: clang-format -i FILE..." >&2
  exit 1
fi
echo "format: all C++ files follow .clang-format"
