#!/bin/sh
# Side-by-side LZH packing and unpacking on the corpora of make_corpora.sh:
# our library (default and best level, through its command function, one
# process per corpus), jlha (one JVM per corpus), zip -9 and 7z's optimal
# deflate for size, lhasa for unpacking speed. One archive per file, as the
# program makes them. Prints one table row per tool and corpus.
# Usage: compare.sh BUILD_BIN [CORPORA_DIR] [corpus...]
# SKIP="best jlha zip 7z unpack" leaves those rows out (for quick reruns).
set -eu
BIN=$(cd "$1" && pwd)
DIR=${2:-/tmp/kt_lzh_corpora}
shift 2 2>/dev/null || shift $#
CORPORA=${*:-small medium large}
SKIP=${SKIP:-}
skip() { case " $SKIP " in *" $1 "*) return 0 ;; esac; return 1; }
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d /tmp/kt_lzh_compare.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

# Java helper for jlha, compiled once.
mkdir -p "$WORK/java"
javac -d "$WORK/java" -cp /usr/share/java/jlha.jar "$HERE/JlhaBatch.java"

# row TOOL CORPUS INBYTES OUTBYTES (after timed: wall and CPU seconds, RSS)
# The machine may be shared: CPU seconds (user + system) compare tools more
# fairly than wall seconds; both are printed.
row() {
    awk -v t="$1" -v c="$2" -v i="$3" -v o="$4" -v s="$SECS" -v u="$CPU" -v m="$RSS" 'BEGIN {
        printf "| %-20s | %-6s | %8.2f | %7.1f | %8.2f | %7.1f | %11d | %6.4f | %7d |\n",
               t, c, s, i / 1e6 / s, u, i / 1e6 / u, o, o / i, m }'
}
# timed CMD...: runs CMD, sets SECS (wall), CPU (user + system) and RSS (max resident KB)
timed() {
    /usr/bin/time -f "%e %M %U %S" -o "$WORK/time" "$@" > "$WORK/out" 2>&1 || { cat "$WORK/out"; exit 1; }
    SECS=$(cut -d' ' -f1 "$WORK/time"); RSS=$(cut -d' ' -f2 "$WORK/time")
    CPU=$(awk '{print $3 + $4}' "$WORK/time")
}
size_of() { find "$1" -type f -name "$2" -printf '%s\n' | awk '{s += $1} END {print s + 0}'; }

echo "| tool                 | corpus | wall s   | MB/s    | CPU s    | CPU MB/s| bytes       | ratio  | RSS KB  |"
echo "|----------------------|--------|----------|---------|----------|---------|-------------|--------|---------|"
for c in $CORPORA; do
    find "$DIR/$c" -type f | sort > "$WORK/list"
    IN=$(size_of "$DIR/$c" '*')
    for mode in default best; do
        [ "$mode" = best ] && { [ "$c" != medium ] || skip best; } && continue
        sw=""; [ "$mode" = best ] && sw="-jm1"
        rm -rf "$WORK/ours" && mkdir -p "$WORK/ours"
        timed "$BIN/lzh_pack_batch" "$BIN/UNLHA32.DLL" "$WORK/ours" "$sw" < "$WORK/list"
        row "ours -lh7- $mode" "$c" "$IN" "$(size_of "$WORK/ours" '*.lzh')"
    done
    if ! skip jlha; then
    rm -rf "$WORK/jlha" && mkdir -p "$WORK/jlha"
    timed java -cp "$WORK/java:/usr/share/java/jlha.jar" JlhaBatch "$WORK/jlha" -lh7- < "$WORK/list"
    rm -f "$WORK/jlha/jlha.tmp"
    row "jlha -lh7-" "$c" "$IN" "$(size_of "$WORK/jlha" '*.lzh')"
    fi
    if [ "$c" != large ] && ! skip zip; then
        rm -rf "$WORK/zip" && mkdir -p "$WORK/zip"
        timed sh -c 'n=0; while IFS= read -r f; do n=$((n+1)); zip -9 -q -j "$0/$n.zip" "$f"; done' "$WORK/zip" < "$WORK/list"
        row "zip -9" "$c" "$IN" "$(size_of "$WORK/zip" '*.zip')"
    fi
    if [ "$c" = medium ] && ! skip 7z; then
        rm -rf "$WORK/7z" && mkdir -p "$WORK/7z"
        timed sh -c 'n=0; while IFS= read -r f; do n=$((n+1)); 7z a -tzip -mx=9 -mfb=258 -mpass=15 "$0/$n.zip" "$f" >/dev/null; done' "$WORK/7z" < "$WORK/list"
        row "7z deflate optimal" "$c" "$IN" "$(size_of "$WORK/7z" '*.zip')"
    fi
    skip unpack && continue
    # Unpacking speed on our default archives: our library against lhasa.
    rm -rf "$WORK/ours" && mkdir -p "$WORK/ours"
    "$BIN/lzh_pack_batch" "$BIN/UNLHA32.DLL" "$WORK/ours" "" < "$WORK/list" > /dev/null
    find "$WORK/ours" -name '*.lzh' | sort > "$WORK/arcs"
    OUT=$(size_of "$WORK/ours" '*.lzh')
    timed "$BIN/lzh_pack_batch" "$BIN/UNLHA32.DLL" --test < "$WORK/arcs"
    row "ours test (unpack)" "$c" "$IN" "$OUT"
    timed sh -c 'while IFS= read -r a; do lhasa tq "$a" || exit 1; done' < "$WORK/arcs"
    row "lhasa test (unpack)" "$c" "$IN" "$OUT"
done
