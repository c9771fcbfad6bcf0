#!/usr/bin/env bash
# Builds the three benchmark corpora from files of this machine, once:
#   small/   ~5,000 headers and texts (~75 MB)
#   medium/  ~200 files of 0.1-5 MB, binaries and text
#   large/   three files of ~200 MB (text, binary, mixed)
# Usage: bench/make_corpora.sh [DIR] [SETS...]   (default /tmp/kt-corpora, all
# three sets); prints DIR.
set -euo pipefail
dir=${1:-/tmp/kt-corpora}
shift || true
sets=" ${*:-small medium large} "
want() { [[ "$sets" == *" $1 "* ]]; }
mkdir -p "$dir"

if want small && [ ! -f "$dir/small/.done" ]; then
  rm -rf "$dir/small"; mkdir -p "$dir/small"
  n=0; bytes=0
  while IFS= read -r -d '' f; do
    size=$(stat -c %s "$f")
    [ "$size" -gt 0 ] && [ "$size" -lt 2000000 ] || continue
    n=$((n + 1)); bytes=$((bytes + size))
    cp "$f" "$dir/small/$(printf '%05d' $n)_$(basename "$f")"
    { [ $n -ge 5000 ] || [ $bytes -ge 77000000 ]; } && break
  done < <(find /usr/include /usr/share/doc /usr/share/perl* /usr/lib/python3* /usr/share/X11 \
             -type f \( -name '*.h' -o -name '*.txt' -o -name '*.py' -o -name '*.pm' -o -name 'copyright' \
             -o -name '*.html' -o -name '*.hpp' -o -name '*.c' \) -print0 2>/dev/null | sort -z)
  touch "$dir/small/.done"
fi

if want medium && [ ! -f "$dir/medium/.done" ]; then
  rm -rf "$dir/medium"; mkdir -p "$dir/medium"
  n=0
  while IFS= read -r -d '' f; do
    size=$(stat -c %s "$f")
    [ "$size" -ge 100000 ] && [ "$size" -le 5000000 ] || continue
    n=$((n + 1))
    cp -L "$f" "$dir/medium/$(printf '%03d' $n)_$(basename "$f")"
    [ $n -ge 200 ] && break
  done < <(find /usr/bin /usr/lib/x86_64-linux-gnu /usr/share/doc /usr/share/dict /usr/lib/jvm \
             -maxdepth 3 -type f -print0 2>/dev/null | sort -z | awk 'BEGIN{RS="\0"; ORS="\0"} NR % 3 == 0')
  touch "$dir/medium/.done"
fi

if want large && [ ! -f "$dir/large/.done" ]; then
  rm -rf "$dir/large"; mkdir -p "$dir/large"
  target=200000000
  fill() {  # fill OUT from the files listed on stdin until OUT reaches the target size
    local out=$1
    : > "$out"
    while [ "$(stat -c %s "$out")" -lt $target ]; do
      while IFS= read -r -d '' f; do
        cat "$f" >> "$out"
        [ "$(stat -c %s "$out")" -ge $target ] && break
      done < <(printf '%s\0' "${files[@]}")
    done
    truncate -s $target "$out"
  }
  mapfile -d '' files < <(find /usr/include /usr/share/doc -type f -size +4k -print0 2>/dev/null | sort -z)
  fill "$dir/large/text.txt"
  mapfile -d '' files < <(find /usr/lib/x86_64-linux-gnu /usr/bin -maxdepth 1 -type f -size +100k -print0 2>/dev/null | sort -z)
  fill "$dir/large/binary.bin"
  mapfile -d '' files < <(find "$dir/small" "$dir/medium" -type f ! -name .done -print0 | sort -zR --random-source=/dev/zero)
  fill "$dir/large/mixed.dat"
  touch "$dir/large/.done"
fi
echo "$dir"
