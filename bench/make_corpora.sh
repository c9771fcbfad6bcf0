#!/usr/bin/env bash
# Builds the benchmark corpora from files of this machine, once per set:
#   small/   ~5,000 headers and texts (~75 MB)
#   medium/  ~200 files of 0.1-5 MB, binaries and text
#   large/   three files of ~200 MB (text, binary, mixed); mixed draws on
#            small/ and medium/, so asking for large builds them too
# Usage: bench/make_corpora.sh [--rebuild] [--percent P] [DIR] [SETS...]
#   DIR      default /tmp/kt-corpora; SETS default small medium large
#   --rebuild  builds the sets again even where they are complete
#   --percent  scales every file count and size to P percent (1 makes a
#              corpus of a few MB for checking that a script runs)
# Prints DIR.
set -euo pipefail
rebuild='' percent=''
while [ $# -gt 0 ]; do
  case $1 in
    --rebuild) rebuild=1; shift ;;
    --percent) percent=${2:?--percent needs a number}; shift 2 ;;
    --) shift; break ;;
    -*) echo "make_corpora.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if [ -n "$percent" ] && { ! [[ "$percent" =~ ^[1-9][0-9]*$ ]] || [ "$percent" -gt 100 ]; }; then
  echo "make_corpora.sh: --percent takes 1 to 100, not '$percent'" >&2; exit 2
fi
dir=${1:-/tmp/kt-corpora}
shift || true
sets=" ${*:-small medium large} "
[[ "$sets" == *" large "* ]] && sets+="small medium "
want() { [[ "$sets" == *" $1 "* ]]; }
scaled() { local n=$(($1 * ${percent:-100} / 100)); echo $((n > 0 ? n : 1)); }
# A set is rebuilt when asked to, when a run stopped half way, or when
# --percent asks for another size than it was built at (an empty .done is a
# full-size set of older runs); without --percent any complete set is kept.
stale() {
  [ -z "$rebuild" ] && [ -f "$dir/$1/.done" ] || return 0
  local built; built=$(cat "$dir/$1/.done")
  [ -n "$percent" ] && [ "${built:-100}" != "$percent" ]
}
mkdir -p "$dir"

if want small && stale small; then
  rm -rf "$dir/small"; mkdir -p "$dir/small"
  n=0; bytes=0; max_files=$(scaled 5000); max_bytes=$(scaled 77000000)
  while IFS= read -r -d '' f; do
    size=$(stat -c %s "$f")
    [ "$size" -gt 0 ] && [ "$size" -lt 2000000 ] || continue
    n=$((n + 1)); bytes=$((bytes + size))
    cp "$f" "$dir/small/$(printf '%05d' $n)_$(basename "$f")"
    { [ $n -ge "$max_files" ] || [ $bytes -ge "$max_bytes" ]; } && break
  done < <(find /usr/include /usr/share/doc /usr/share/perl* /usr/lib/python3* /usr/share/X11 \
             -type f \( -name '*.h' -o -name '*.txt' -o -name '*.py' -o -name '*.pm' -o -name 'copyright' \
             -o -name '*.html' -o -name '*.hpp' -o -name '*.c' \) -print0 2>/dev/null | sort -z)
  echo "${percent:-100}" > "$dir/small/.done"
fi

if want medium && stale medium; then
  rm -rf "$dir/medium"; mkdir -p "$dir/medium"
  n=0; max_files=$(scaled 200)
  while IFS= read -r -d '' f; do
    size=$(stat -c %s "$f")
    [ "$size" -ge 100000 ] && [ "$size" -le 5000000 ] || continue
    n=$((n + 1))
    cp -L "$f" "$dir/medium/$(printf '%03d' $n)_$(basename "$f")"
    [ $n -ge "$max_files" ] && break
  done < <(find /usr/bin /usr/lib/x86_64-linux-gnu /usr/share/doc /usr/share/dict /usr/lib/jvm \
             -maxdepth 3 -type f -print0 2>/dev/null | sort -z | awk 'BEGIN{RS="\0"; ORS="\0"} NR % 3 == 0')
  echo "${percent:-100}" > "$dir/medium/.done"
fi

if want large && stale large; then
  rm -rf "$dir/large"; mkdir -p "$dir/large"
  target=$(scaled 200000000)
  fill() {  # fill OUT from the files listed in $files until OUT reaches the target size
    local out=$1
    [ ${#files[@]} -gt 0 ] || { echo "make_corpora.sh: no input for $out" >&2; exit 1; }
    : > "$out"
    while [ "$(stat -c %s "$out")" -lt "$target" ]; do
      for f in "${files[@]}"; do
        cat "$f" >> "$out"
        [ "$(stat -c %s "$out")" -ge "$target" ] && break
      done
    done
    truncate -s "$target" "$out"
  }
  mapfile -d '' files < <(find /usr/include /usr/share/doc -type f -size +4k -print0 2>/dev/null | sort -z)
  fill "$dir/large/text.txt"
  mapfile -d '' files < <(find /usr/lib/x86_64-linux-gnu /usr/bin -maxdepth 1 -type f -size +100k -print0 2>/dev/null | sort -z)
  fill "$dir/large/binary.bin"
  mapfile -d '' files < <(find "$dir/small" "$dir/medium" -type f ! -name .done -print0 | sort -zR --random-source=/dev/zero)
  fill "$dir/large/mixed.dat"
  echo "${percent:-100}" > "$dir/large/.done"
fi
echo "$dir"
