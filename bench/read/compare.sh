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

# The input: texts and programs of this machine, as users exchange them
# (about 6/10 text, 3/10 shared libraries, 1/10 incompressible bytes).
mkdir -p "$work/in"
fill() {  # target bytes, find arguments...: concatenates files until the size is reached
  local want=$1; shift
  find "$@" -type f -size -4M -print0 2>/dev/null | sort -z |
    while IFS= read -r -d '' f; do
      cat "$f"
      [ "$(stat -c %s "$out")" -ge "$want" ] && break
    done || true  # find and sort end early on a broken pipe
}
out="$work/in/text.txt" fill $((mb * 6 / 10 * 1048576)) /usr/include /usr/share/doc /usr/share/perl5 > "$work/in/text.txt"
out="$work/in/programs.bin" fill $((mb * 3 / 10 * 1048576)) /usr/lib/x86_64-linux-gnu -name '*.so*' > "$work/in/programs.bin"
head -c $((mb * 1048576 / 10)) /dev/urandom > "$work/in/noise.bin"
echo "input: $(du -cb "$work"/in/* | tail -1 | cut -f1) bytes"

for method in Deflate64 BZip2 LZMA; do
  (cd "$work/in" && 7z a -tzip -m0=$method "$work/$method.zip" text.txt programs.bin noise.bin >/dev/null)
  rm -rf "$work/o7" "$work/oo"
  timed "7z x ($method)" 7z x -y -o"$work/o7" "$work/$method.zip"; t_tool=$(cat "$work/last")
  timed "kaltri extract ($method)" "$bin/kaltri" extract "$work/$method.zip" -o "$work/oo"; t_ours=$(cat "$work/last")
  cmp -s "$work/o7/programs.bin" "$work/oo/programs.bin" && cmp -s "$work/o7/text.txt" "$work/oo/text.txt" || echo "  MISMATCH"
  echo "  ratio 7z / ours: $(ratio "$t_tool" "$t_ours")x"
done

for m in 1 4; do
  (cd "$work/in" && arj a -m$m "$work/m$m.arj" text.txt programs.bin noise.bin >/dev/null)
  rm -rf "$work/oa" "$work/oo"
  mkdir -p "$work/oa"
  timed "arj x (-m$m)" bash -c 'cd "$1" && arj x -y "$2"' _ "$work/oa" "$work/m$m.arj"; t_tool=$(cat "$work/last")
  timed "kaltri extract (-m$m)" "$bin/kaltri" extract "$work/m$m.arj" -o "$work/oo"; t_ours=$(cat "$work/last")
  cmp -s "$work/oa/programs.bin" "$work/oo/programs.bin" && cmp -s "$work/oa/text.txt" "$work/oo/text.txt" || echo "  MISMATCH"
  echo "  ratio arj / ours: $(ratio "$t_tool" "$t_ours")x"
done
