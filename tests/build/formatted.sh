#!/bin/sh
# Every C++ source of the tree is laid out as .clang-format says, so a
# change shows only what it changes. Prints the files that differ; fix them
# with `clang-format -i FILE...`.
set -eu
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$root"
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 1; }
status=0
for file in $(find app archive archivers bench cli platform resources settings tests widgets \
                \( -name '*.cpp' -o -name '*.h' \) | sort); do
  if ! clang-format --dry-run -Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: $file"
    status=1
  fi
done
exit $status
