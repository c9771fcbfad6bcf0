#!/usr/bin/env bash
# tar32.dll and CAB32.DLL against the tools users would otherwise run, on
# the same input in one run: creating tar.gz and tar.bz2 (our library
# called through its C entry, as the TAR driver calls it, against GNU tar),
# extracting them and a gcab cabinet (kaltri against GNU tar and
# cabextract). Prints wall and CPU seconds and the ratio tool / ours (1.00
# or more: we are at least as fast).
# Usage: bench/tar/compare.sh [BUILD_BIN] [MB]     (MB: size of the input, default 64)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../../build/bin}" && pwd)
mb=${2:-64}
work=$(mktemp -d /tmp/kt-tarbench.XXXXXX)
trap 'rm -rf "$work"' EXIT

timed() {  # label, command...: prints "label wall cpu", leaves wall in $work/last
  local label=$1; shift
  /usr/bin/time -f "%e %U %S" -o "$work/t" "$@" >/dev/null 2>&1
  read -r wall user sys < "$work/t"
  printf '%-30s wall %7.2f s  cpu %7.2f s\n' "$label" "$wall" "$(awk -v u="$user" -v s="$sys" 'BEGIN{print u + s}')"
  echo "$wall" > "$work/last"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", (b > 0 ? a / b : 0)}'; }

# The input: a tree of texts and programs of this machine (about 6/10 text,
# 3/10 shared libraries, 1/10 incompressible bytes), many files.
mkdir -p "$work/in/text" "$work/in/lib"
copy() {  # target bytes, folder, find arguments...
  local want=$1 to=$2; shift 2
  local have=0
  while IFS= read -r -d '' f; do
    cp "$f" "$to/$(echo "$f" | tr '/' '_')"
    have=$((have + $(stat -c %s "$f")))
    [ "$have" -ge "$want" ] && break
  done < <(find "$@" -type f -size -4M -print0 2>/dev/null | sort -z) || true
}
copy $((mb * 6 / 10 * 1048576)) "$work/in/text" /usr/include /usr/share/doc
copy $((mb * 3 / 10 * 1048576)) "$work/in/lib" /usr/lib/x86_64-linux-gnu -name '*.so*'
head -c $((mb * 1048576 / 10)) /dev/urandom > "$work/in/noise.bin"
echo "input: $(du -sb "$work/in" | cut -f1) bytes in $(find "$work/in" -type f | wc -l) files"

# Our library through its C entry, the way the driver calls it.
cat > "$work/tar_command.py" <<'PY'
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1])
out = ctypes.create_string_buffer(4096)
rc = lib.Tar(None, sys.argv[2].encode(), out, 4096)
sys.exit(0 if rc == 0 else 1)
PY

for kind in gz bz2; do
  flag=$([ $kind = gz ] && echo -z || echo -j)
  ours=$([ $kind = gz ] && echo -z || echo -B)
  timed "create tar.$kind: ours" python3 "$work/tar_command.py" "$bin/tar32.dll" "c $ours -f \"$work/ours.tar.$kind\" -o \"$work/in/\" \"$work/in/text\" \"$work/in/lib\" \"$work/in/noise.bin\""
  w_ours=$(cat "$work/last")
  timed "create tar.$kind: GNU tar" tar -C "$work/in" $flag -cf "$work/gnu.tar.$kind" text lib noise.bin
  w_tool=$(cat "$work/last")
  echo "  sizes: ours $(stat -c %s "$work/ours.tar.$kind")  GNU tar $(stat -c %s "$work/gnu.tar.$kind")  ratio tool/ours $(ratio "$w_tool" "$w_ours")"
  rm -rf "$work/x1" "$work/x2"; mkdir -p "$work/x2"
  timed "extract tar.$kind: kaltri" "$bin/kaltri" extract "$work/gnu.tar.$kind" -o "$work/x1"
  w_ours=$(cat "$work/last")
  timed "extract tar.$kind: GNU tar" tar $flag -xf "$work/gnu.tar.$kind" -C "$work/x2"
  w_tool=$(cat "$work/last")
  diff -r "$work/x1" "$work/x2" >/dev/null && echo "  same files; ratio tool/ours $(ratio "$w_tool" "$w_ours")"
done

(cd "$work/in" && gcab -c -z "$work/gcab.cab" text/* noise.bin >/dev/null)
rm -rf "$work/x1" "$work/x2"
timed "extract cab: kaltri" "$bin/kaltri" extract "$work/gcab.cab" -o "$work/x1"
w_ours=$(cat "$work/last")
timed "extract cab: cabextract" cabextract -q -d "$work/x2" "$work/gcab.cab"
w_tool=$(cat "$work/last")
diff -r "$work/x1" "$work/x2" >/dev/null && echo "  same files; ratio tool/ours $(ratio "$w_tool" "$w_ours")"
