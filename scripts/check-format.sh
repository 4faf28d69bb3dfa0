#!/usr/bin/env bash
# Checks that every tracked C++ file under src/, tests/ and bench/ is formatted as .clang-format
# says; names the files that drift and fails when there is one. `clang-format -i FILE` mends one.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
  echo "clang-format is missing: scripts/setup.sh installs it" >&2
  exit 2
fi
drifting=()
while IFS= read -r -d '' file; do
  if ! clang-format --dry-run -Werror --style=file "$file" >/dev/null 2>&1; then
    drifting+=("$file")
  fi
done < <(git ls-files -z -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h')
if [ ${#drifting[@]} -ne 0 ]; then
  echo "Not formatted as .clang-format says ($(clang-format --version | head -1)):" >&2
  printf '  %s\n' "${drifting[@]}" >&2
  exit 1
fi
echo "Formatting: every file as .clang-format says."
