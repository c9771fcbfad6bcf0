#!/usr/bin/env bash
# Side-by-side timing of one-archive-per-file packing: kaltri (LZH and ZIP,
# one job and all cores) against a `zip -q -j -D` loop, a `7z a -tzip` loop
# and jlha (-lh7-, all files in one JVM), on the three corpora of
# make_corpora.sh. Prints one table: tool, corpus, seconds, MB/s, output bytes,
# output/input ratio and time relative to the zip loop.
# Usage: bench/compare.sh [--levels] [CORPUS_DIR] [SETS...]   (default sets: small medium large)
# --levels: instead, one row per kaltri ZIP level (0-9) and LZH method and
# effort, one job each, against zip -1/-6/-9, 7z -tzip -mx1/-mx9 and jlha.
# KT_BIN selects the folder holding kaltri and the libraries (default build/bin).
set -euo pipefail
levels=
if [ "${1:-}" = --levels ]; then levels=1; shift; fi
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${KT_BIN:-$root/build/bin}
corpora=$("$root/bench/make_corpora.sh" "${1:-/tmp/kt-corpora}")
shift || true
sets=("${@:-small medium large}")
[ $# -eq 0 ] && sets=(small medium large)
work=$(mktemp -d /tmp/kt-compare.XXXXXX)
trap 'rm -rf "$work"' EXIT
cores=$(nproc)

jlha_classes=$work/jlha
if command -v javac >/dev/null && [ -f /usr/share/java/jlha.jar ]; then
  mkdir -p "$jlha_classes"
  javac -cp /usr/share/java/jlha.jar -d "$jlha_classes" "$root/bench/jlha/JlhaBatch.java"
else
  jlha_classes=
fi

now() { date +%s.%N; }
printf '%-22s %-7s %9s %9s %13s %7s %8s\n' tool corpus seconds MB/s bytes ratio vs-zip
for set in "${sets[@]}"; do
  src=$corpora/$set
  mapfile -d '' files < <(find "$src" -type f ! -name .done -print0 | sort -z)
  in_bytes=$(cat "${files[@]}" | wc -c)
  zip_secs=
  measure() {  # name, then the command that writes archives into $out
    local name=$1; shift
    out=$work/out; rm -rf "$out"; mkdir -p "$out"
    sync
    local t0 t1 secs bytes
    t0=$(now); "$@" >/dev/null 2>&1 || { echo "$name failed on $set" >&2; return 0; }; t1=$(now)
    secs=$(echo "$t1 - $t0" | bc -l)
    bytes=$(find "$out" -type f -name '*.*' ! -name '.jlha.tmp' -printf '%s\n' | awk '{s+=$1} END {print s+0}')
    [ "$name" = "zip -q -j -D loop" ] && zip_secs=$secs
    printf '%-22s %-7s %9.2f %9.1f %13d %7.4f %8s\n' "$name" "$set" "$secs" \
      "$(echo "$in_bytes / 1000000 / $secs" | bc -l)" "$bytes" "$(echo "$bytes / $in_bytes" | bc -l)" \
      "$( [ -n "$zip_secs" ] && printf '%.2fx' "$(echo "$secs / $zip_secs" | bc -l)" || echo -)"
  }
  zip_loop() { for f in "${files[@]}"; do n=${f##*/}; zip -q -j -D "$out/${n%.*}.zip" "$f"; done; }
  sevenz_loop() { for f in "${files[@]}"; do n=${f##*/}; 7z a -tzip -bso0 -bsp0 "$out/${n%.*}.zip" "$f"; done; }
  jlha_batch() { java -cp "/usr/share/java/jlha.jar:$jlha_classes" JlhaBatch -lh7- 2 "$out" "${files[@]}"; }
  kaltri_pack() { "$bin/kaltri" pack --overwrite all --on-error continue --out "$out" "$@" "${files[@]}"; }

  if [ -n "$levels" ]; then
    zip_level() { for f in "${files[@]}"; do n=${f##*/}; zip -q -j -D "-$1" "$out/${n%.*}.zip" "$f"; done; }
    sevenz_level() { for f in "${files[@]}"; do n=${f##*/}; 7z a -tzip "-mx$1" -bso0 -bsp0 "$out/${n%.*}.zip" "$f"; done; }
    measure "zip -q -j -D loop" zip_loop
    for l in 1 9; do measure "zip -$l loop" zip_level $l; done
    for l in 0 1 2 3 4 5 6 7 8 9; do measure "kaltri zip --level $l" kaltri_pack --format zip --jobs 1 --level $l; done
    for l in 1 9; do measure "7z -tzip -mx$l loop" sevenz_level $l; done
    for m in lh5 lh6 lh7; do
      for e in fast normal best; do measure "kaltri $m $e" kaltri_pack --format lzh --jobs 1 --method $m --effort $e; done
    done
    [ -n "$jlha_classes" ] && measure "jlha -lh7- (one JVM)" jlha_batch
    continue
  fi

  measure "zip -q -j -D loop" zip_loop
  measure "kaltri zip -j1" kaltri_pack --format zip --jobs 1
  measure "kaltri zip -j$cores" kaltri_pack --format zip --jobs "$cores"
  measure "kaltri lzh -j1" kaltri_pack --format lzh --jobs 1
  measure "kaltri lzh -j$cores" kaltri_pack --format lzh --jobs "$cores"
  [ -n "$jlha_classes" ] && measure "jlha -lh7- (one JVM)" jlha_batch
  if [ "$set" != large ] || [ -n "${KT_BENCH_7Z_LARGE:-}" ]; then
    measure "7z a -tzip loop" sevenz_loop
  fi
done
