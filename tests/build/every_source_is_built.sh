#!/bin/sh
# With the sources listed by hand, a new file that no list names would be
# left out of the build without a word. Every .cpp file of the tree must be
# named by its folder's CMakeLists.txt (or a .cmake file there), or by path
# from another one.
set -eu
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$root"
missing=0
for file in $(find app archive archivers bench cli platform resources settings tests widgets -name '*.cpp' | sort); do
  dir=$(dirname "$file")
  name=$(basename "$file")
  if cat "$dir"/CMakeLists.txt "$dir"/*.cmake 2>/dev/null | grep -qw -- "$name"; then continue; fi
  # Fuzz targets are made in a loop over their stems: ${t}_fuzz.cpp.
  case $name in
    *_fuzz.cpp)
      stem=${name%_fuzz.cpp}
      if cat "$dir"/CMakeLists.txt "$(dirname "$dir")"/CMakeLists.txt 2>/dev/null | grep -q -- "foreach(.*\b$stem\b"; then
        continue
      fi ;;
  esac
  if find . -path ./build -prune -o \( -name CMakeLists.txt -o -name '*.cmake' \) -print |
       xargs grep -q -- "$file"; then continue; fi
  echo "not in any build list: $file"
  missing=1
done
exit $missing
