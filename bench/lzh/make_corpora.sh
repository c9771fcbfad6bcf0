#!/bin/sh
# Rebuilds the LZH benchmark corpora from real files of this machine:
#   small/   ~5,000 headers and texts, ~75 MB
#   medium/  ~200 files of 0.1-5 MB, binaries and texts, ~100 MB
#   large/   three files of ~200 MB (text, binary, mixed)
# Usage: make_corpora.sh [DIR]   (default /tmp/kt_lzh_corpora)
set -eu
DIR=${1:-/tmp/kt_lzh_corpora}
rm -rf "$DIR"
mkdir -p "$DIR/small" "$DIR/medium" "$DIR/large"

# Copies the listed files (stdin) into $1 until $2 bytes or $3 files are reached.
take() {
    out=$1 limit=$2 maxfiles=$3 total=0 n=0
    while IFS= read -r f; do
        [ -f "$f" ] || continue
        size=$(stat -L -c %s "$f")
        [ $((total + size)) -gt "$limit" ] && continue
        n=$((n + 1))
        cp -L "$f" "$out/$n-$(basename "$f")"
        total=$((total + size))
        [ "$n" -ge "$maxfiles" ] && break
    done
    echo "$out: $n files, $total bytes"
}

# Small: C/C++ headers and plain-text documents, shuffled with a fixed seed.
{ find /usr/include -type f -name '*.h' -size -200k; find /usr/share/doc -type f ! -name '*.gz' -size -200k; } |
    sort | awk 'BEGIN{srand(7)} {print rand() "\t" $0}' | sort | cut -f2- |
    take "$DIR/small" 78000000 5000

# Medium: shared libraries, programs and larger texts between 100 KB and 5 MB.
{ find /usr/lib/x86_64-linux-gnu /usr/bin -maxdepth 1 -type f -size +100k -size -5000k;
  find /usr/share -type f ! -name '*.gz' ! -name '*.png' -size +100k -size -5000k; } 2>/dev/null |
    sort | awk 'BEGIN{srand(11)} {print rand() "\t" $0}' | sort | cut -f2- |
    take "$DIR/medium" 100000000 200

# Large: ~200 MB each of text, of binary code, and of a mixed tree.
tar -cf - /usr/include /usr/share/doc 2>/dev/null | head -c 200000000 > "$DIR/large/text.tar"
cat /usr/lib/x86_64-linux-gnu/libLLVM-15.so.1 /usr/lib/x86_64-linux-gnu/libLLVM-14.so.1 2>/dev/null |
    head -c 200000000 > "$DIR/large/code.bin"
tar -cf - /usr/lib/python3 /usr/share/locale /usr/lib/x86_64-linux-gnu 2>/dev/null | head -c 200000000 > "$DIR/large/mixed.tar"
ls -l "$DIR/large"
