#!/bin/sh
# Side-by-side LZH packing and unpacking on the corpora of make_corpora.sh:
# our library (default and best level, through its command function, one
# process per corpus), jlha (one JVM per corpus), zip -9 and 7z's optimal
# deflate for size, lhasa for unpacking speed. One archive per file, as the
# program makes them. Prints one table row per tool and corpus.
# Usage: compare.sh BUILD_BIN [CORPORA_DIR] [corpus...]
set -eu
BIN=$(cd "$1" && pwd)
DIR=${2:-/tmp/kt_lzh_corpora}
shift 2 2>/dev/null || shift $#
CORPORA=${*:-small medium large}
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d /tmp/kt_lzh_compare.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

# Java helper for jlha, compiled once.
mkdir -p "$WORK/java"
javac -d "$WORK/java" -cp /usr/share/java/jlha.jar "$HERE/JlhaBatch.java"

# row TOOL CORPUS SECONDS INBYTES OUTBYTES [MAXRSS_KB]
row() {
    awk -v t="$1" -v c="$2" -v s="$3" -v i="$4" -v o="$5" -v m="${6:-}" 'BEGIN {
        printf "| %-22s | %-6s | %8.2f | %7.1f | %12d | %6.4f | %s |\n", t, c, s, i / 1e6 / s, o, o / i, m }'
}
# timed CMD...: runs CMD, sets SECS (wall) and RSS (max resident KB)
timed() {
    /usr/bin/time -f "%e %M" -o "$WORK/time" "$@" > "$WORK/out" 2>&1 || { cat "$WORK/out"; exit 1; }
    SECS=$(cut -d' ' -f1 "$WORK/time"); RSS=$(cut -d' ' -f2 "$WORK/time")
}
size_of() { find "$1" -type f -name "$2" -printf '%s\n' | awk '{s += $1} END {print s + 0}'; }

echo "| tool                   | corpus | seconds  | MB/s    | bytes        | ratio  | max RSS KB |"
echo "|------------------------|--------|----------|---------|--------------|--------|------------|"
for c in $CORPORA; do
    find "$DIR/$c" -type f | sort > "$WORK/list"
    IN=$(size_of "$DIR/$c" '*')
    for mode in default best; do
        [ "$mode" = best ] && [ "$c" != medium ] && continue
        sw=""; [ "$mode" = best ] && sw="-jm1"
        rm -rf "$WORK/ours" && mkdir -p "$WORK/ours"
        timed "$BIN/lzh_pack_batch" "$BIN/UNLHA32.DLL" "$WORK/ours" "$sw" < "$WORK/list"
        row "ours -lh7- $mode" "$c" "$SECS" "$IN" "$(size_of "$WORK/ours" '*.lzh')" "$RSS"
    done
    rm -rf "$WORK/jlha" && mkdir -p "$WORK/jlha"
    timed java -cp "$WORK/java:/usr/share/java/jlha.jar" JlhaBatch "$WORK/jlha" -lh7- < "$WORK/list"
    rm -f "$WORK/jlha/jlha.tmp"
    row "jlha -lh7-" "$c" "$SECS" "$IN" "$(size_of "$WORK/jlha" '*.lzh')" "$RSS"
    if [ "$c" != large ]; then
        rm -rf "$WORK/zip" && mkdir -p "$WORK/zip"
        timed sh -c 'n=0; while IFS= read -r f; do n=$((n+1)); zip -9 -q -j "$0/$n.zip" "$f"; done' "$WORK/zip" < "$WORK/list"
        row "zip -9" "$c" "$SECS" "$IN" "$(size_of "$WORK/zip" '*.zip')" "$RSS"
        rm -rf "$WORK/7z" && mkdir -p "$WORK/7z"
        timed sh -c 'n=0; while IFS= read -r f; do n=$((n+1)); 7z a -tzip -mx=9 -mfb=258 -mpass=15 "$0/$n.zip" "$f" >/dev/null; done' "$WORK/7z" < "$WORK/list"
        row "7z deflate optimal" "$c" "$SECS" "$IN" "$(size_of "$WORK/7z" '*.zip')" "$RSS"
    fi
    # Unpacking speed on our default archives: our library against lhasa.
    rm -rf "$WORK/ours" && mkdir -p "$WORK/ours"
    "$BIN/lzh_pack_batch" "$BIN/UNLHA32.DLL" "$WORK/ours" "" < "$WORK/list" > /dev/null
    find "$WORK/ours" -name '*.lzh' | sort > "$WORK/arcs"
    OUT=$(size_of "$WORK/ours" '*.lzh')
    timed "$BIN/lzh_pack_batch" "$BIN/UNLHA32.DLL" --test < "$WORK/arcs"
    row "ours test (unpack)" "$c" "$SECS" "$IN" "$OUT" "$RSS"
    timed sh -c 'while IFS= read -r a; do lhasa tq "$a" || exit 1; done' < "$WORK/arcs"
    row "lhasa test (unpack)" "$c" "$SECS" "$IN" "$OUT" "$RSS"
done
