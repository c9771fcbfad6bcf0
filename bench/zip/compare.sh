#!/usr/bin/env bash
# Side by side, in one run: one archive per file through the libraries (the
# way the program and kaltri use them) against a shell loop of Info-ZIP zip,
# optionally 7z, and extraction against unzip. Prints seconds (wall and CPU),
# output bytes and peak memory, and the ratios the ZIP engine aims at.
# Usage: bench/zip/compare.sh [BUILD_BIN] [CORPORA]    (WITH_7Z=1 adds 7z)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build/bin}
corpora=${2:-$("$here/../make_corpora.sh")}
work=$(mktemp -d /tmp/kt-zipbench.XXXXXX)
trap 'rm -rf "$work"' EXIT
bin=$(cd "$bin" && pwd)

timed() {  # label, command...: prints "label wall user+sys maxrssKB"
  local label=$1; shift
  /usr/bin/time -f "%e %U %S %M" -o "$work/t" "$@" >/dev/null
  read -r wall user sys rss < "$work/t"
  printf '%-34s wall %7.2f s  cpu %7.2f s  maxrss %7d KB\n' "$label" "$wall" "$(awk -v u="$user" -v s="$sys" 'BEGIN{print u + s}')" "$rss"
  echo "$wall" > "$work/last"
}
bytes() { du -cb "$@" 2>/dev/null | tail -1 | cut -f1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", (b > 0 ? a / b : 0)}'; }

small=$corpora/small
echo "== small corpus: $(ls "$small" | wc -l) files, $(bytes "$small"/*) bytes, one archive per file"
mkdir -p "$work/zip" "$work/ours" "$work/oursP" "$work/zipP"
timed "true loop (process spawn)" bash -c 'for f in "$0"/*; do /bin/true; done' "$small"; t_true=$(cat "$work/last")
timed "zip -q -j -D loop" bash -c 'for f in "$0"/*; do b=${f##*/}; zip -q -j -D "$1/${b%.*}.zip" "$f"; done' "$small" "$work/zip"; t_zip=$(cat "$work/last")
timed "zip -q -j -D -P loop" bash -c 'for f in "$0"/*; do b=${f##*/}; zip -q -j -D -P pw "$1/${b%.*}.zip" "$f"; done' "$small" "$work/zipP"
timed "ZIP32J.DLL batch (driver line)" "$bin/zip_batch" pack "$bin" "$small" "$work/ours"; t_ours=$(cat "$work/last")
timed "ZIP32J.DLL batch with -P" "$bin/zip_batch" pack "$bin" "$small" "$work/oursP" pw
if [ "${WITH_7Z:-0}" = 1 ]; then
  mkdir -p "$work/7z"
  timed "7z a -tzip loop" bash -c 'for f in "$0"/*; do b=${f##*/}; 7z a -tzip "$1/${b%.*}.zip" "$f" >/dev/null; done' "$small" "$work/7z"
fi
echo "output bytes: zip $(bytes "$work"/zip/*.zip)  ours $(bytes "$work"/ours/*.zip)  zip -P $(bytes "$work"/zipP/*.zip)  ours -P $(bytes "$work"/oursP/*.zip)"
echo "ratio zip loop / ours: $(ratio "$t_zip" "$t_ours")x   (goal >= 8)"

echo "== extraction of the small archives"
mkdir -p "$work/unz" "$work/unours"
timed "unzip -qo loop" bash -c 'for f in "$0"/*.zip; do unzip -qo "$f" -d "$1"; done' "$work/zip" "$work/unz"; t_unzip=$(cat "$work/last")
timed "UNZIP32.DLL batch" "$bin/zip_batch" unpack "$bin" "$work/zip" "$work/unours"; t_unours=$(cat "$work/last")
echo "ratio unzip / ours: $(ratio "$t_unzip" "$t_unours")x   (goal >= 1)"
rm -rf "$work"/zip "$work"/zipP "$work"/ours "$work"/oursP "$work"/unz "$work"/unours

echo "== large files"
for f in "$corpora"/large/*; do
  [ -f "$f" ] || continue
  name=${f##*/}
  mkdir -p "$work/L" "$work/Lo" "$work/Lu" "$work/Lz"
  ln -sf "$f" "$work/L/$name"
  timed "zip -6 $name" zip -q -j -D "$work/Lz/z.zip" "$f"; t_zip=$(cat "$work/last")
  timed "ZIP32J.DLL $name" "$bin/zip_batch" pack "$bin" "$work/L" "$work/Lo"; t_ours=$(cat "$work/last")
  echo "  bytes: zip $(bytes "$work/Lz/z.zip")  ours $(bytes "$work"/Lo/*.zip)  throughput ratio $(ratio "$t_zip" "$t_ours")x (goal >= 2.5)"
  timed "unzip $name" unzip -qo "$work/Lz/z.zip" -d "$work/Lu"; t_unzip=$(cat "$work/last")
  rm -rf "$work/Lu"; mkdir -p "$work/Lu"; cp "$work/Lz/z.zip" "$work/Lz/copy.zip"; rm "$work/Lz/z.zip"
  timed "UNZIP32.DLL $name" "$bin/zip_batch" unpack "$bin" "$work/Lz" "$work/Lu"; t_unours=$(cat "$work/last")
  echo "  extraction ratio unzip / ours: $(ratio "$t_unzip" "$t_unours")x"
  rm -rf "$work/L" "$work/Lo" "$work/Lu" "$work/Lz"
done
