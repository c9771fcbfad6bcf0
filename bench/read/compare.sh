#!/usr/bin/env bash
# Decoding speed of the methods other tools write, side by side in one run:
# the same archives extracted by our libraries (through kaltri, as a user
# would) and by the tool that made them: 7z for Deflate64, bzip2 and LZMA
# ZIP members, arj for ARJ methods 1 and 4. Prints wall and CPU seconds and
# the ratio tool / ours (1.00 or more: we are at least as fast).
# Usage: bench/read/compare.sh [BUILD_BIN] [MB]     (MB: size of the input, default 64)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../../build/bin}" && pwd)
mb=${2:-64}
work=$(mktemp -d /tmp/kt-readbench.XXXXXX)
trap 'rm -rf "$work"' EXIT

timed() {  # label, command...: prints "label wall cpu", leaves wall in $work/last
  local label=$1; shift
  /usr/bin/time -f "%e %U %S" -o "$work/t" "$@" >/dev/null 2>&1
  read -r wall user sys < "$work/t"
  printf '%-28s wall %7.2f s  cpu %7.2f s\n' "$label" "$wall" "$(awk -v u="$user" -v s="$sys" 'BEGIN{print u + s}')"
  echo "$wall" > "$work/last"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", (b > 0 ? a / b : 0)}'; }

# The input: the project's own sources and texts repeated (compressible,
# like the documents users exchange), with a tenth of incompressible bytes.
mkdir -p "$work/in"
src=$(cd "$here/../.." && pwd)
find "$src" -path "$src/build" -prune -o -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.md' \) -print0 |
  xargs -0 cat > "$work/seed"
while [ "$(stat -c %s "$work/in/data.txt" 2>/dev/null || echo 0)" -lt $((mb * 9 / 10 * 1048576)) ]; do
  cat "$work/seed" >> "$work/in/data.txt"
done
head -c $((mb * 1048576 / 10)) /dev/urandom > "$work/in/noise.bin"
echo "input: $(du -cb "$work"/in/* | tail -1 | cut -f1) bytes"

for method in Deflate64 BZip2 LZMA; do
  (cd "$work/in" && 7z a -tzip -m0=$method "$work/$method.zip" data.txt noise.bin >/dev/null)
  rm -rf "$work/o7" "$work/oo"
  timed "7z x ($method)" 7z x -y -o"$work/o7" "$work/$method.zip"; t_tool=$(cat "$work/last")
  timed "kaltri extract ($method)" "$bin/kaltri" extract "$work/$method.zip" -o "$work/oo"; t_ours=$(cat "$work/last")
  cmp -s "$work/o7/data.txt" "$work/oo/data.txt" || echo "  MISMATCH"
  echo "  ratio 7z / ours: $(ratio "$t_tool" "$t_ours")x"
done

for m in 1 4; do
  (cd "$work/in" && arj a -m$m "$work/m$m.arj" data.txt noise.bin >/dev/null)
  rm -rf "$work/oa" "$work/oo"
  mkdir -p "$work/oa"
  timed "arj x (-m$m)" bash -c 'cd "$1" && arj x -y "$2"' _ "$work/oa" "$work/m$m.arj"; t_tool=$(cat "$work/last")
  timed "kaltri extract (-m$m)" "$bin/kaltri" extract "$work/m$m.arj" -o "$work/oo"; t_ours=$(cat "$work/last")
  cmp -s "$work/oa/data.txt" "$work/oo/data.txt" || echo "  MISMATCH"
  echo "  ratio arj / ours: $(ratio "$t_tool" "$t_ours")x"
done
