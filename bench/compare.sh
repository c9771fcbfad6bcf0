#!/usr/bin/env bash
# Side-by-side timings of our engine against the tools users would otherwise
# run, one table per question (--table, default pack):
#   pack    one-archive-per-file packing: kaltri (LZH and ZIP, one job and all
#           cores) against a `zip -q -j -D` loop, a `7z a -tzip` loop and jlha
#           (-lh7-, all files in one JVM). Columns: tool, corpus, seconds, MB/s,
#           output bytes, output/input ratio, time relative to the zip loop.
#   levels  the same columns, one row per kaltri ZIP level (0-9) and LZH method
#           and effort, one job each, against zip -1/-6/-9, 7z -tzip -mx1/-mx9
#           and jlha. --levels is short for --table levels.
#   lzh     LZH packing and unpacking through UNLHA32.DLL's command function
#           (lzh_pack_batch, one process per corpus; the best level on medium
#           only) against jlha, zip -9 and 7z's optimal deflate for size, and
#           lhasa for unpacking. Columns: wall and CPU seconds and MB/s, bytes,
#           ratio, peak RSS.
#   zip     ZIP32J.DLL and UNZIP32.DLL (zip_batch, the driver's command line)
#           against a zip loop and unzip, on the small set and on each large
#           file, with the ratios the ZIP engine aims at (WITH_7Z=1 adds 7z).
#   read    decoding the methods other tools write (Deflate64, bzip2 and LZMA
#           ZIP members by 7z, ARJ -m1/-m4 by arj): kaltri against the maker.
#   tar     tar32.dll making tar.gz and tar.bz2 against GNU tar, and kaltri
#           extracting them and a gcab cabinet against GNU tar and cabextract.
#           read and tar print wall and CPU seconds and the ratio tool / ours
#           (1.00 or more: we are at least as fast) on --mb MB (default 64) of
#           this machine's texts, programs and noise instead of a corpus.
# Usage: bench/compare.sh [--table pack|levels|lzh|zip|read|tar] [--mb MB]
#                         [CORPUS_DIR] [SETS...]
# CORPUS_DIR (default /tmp/kt-corpora) is completed by make_corpora.sh; SETS
# default to small medium large (zip: small large).
# KT_BIN selects the folder holding kaltri, the libraries and the bench
# programs (default build/bin); KT_BENCH_ROWS, an extended regular expression,
# keeps only the rows of pack, levels and lzh whose tool name it matches
# (e.g. 'lzh|jlha'); outputs go below TMPDIR (tmpfs if the disk should not count).
set -euo pipefail
table=pack mb=64
while [ $# -gt 0 ]; do
  case $1 in
    --table) table=${2:?--table needs a name}; shift 2 ;;
    --levels) table=levels; shift ;;
    --mb) mb=${2:?--mb needs a size}; shift 2 ;;
    --) shift; break ;;
    -*) echo "compare.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
case $table in
  pack|levels|lzh|zip|read|tar) ;;
  *) echo "compare.sh: no table '$table' (pack, levels, lzh, zip, read, tar)" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${KT_BIN:-$root/build/bin}" && pwd)
corpus_dir=${1:-/tmp/kt-corpora}
shift || true
sets=("$@")
if [ ${#sets[@]} -eq 0 ]; then
  if [ "$table" = zip ]; then sets=(small large); else sets=(small medium large); fi
fi
for set in "${sets[@]}"; do
  case $set in small|medium|large) ;; *) echo "compare.sh: no set '$set' (small, medium, large)" >&2; exit 2 ;; esac
done
[[ "$mb" =~ ^[1-9][0-9]*$ ]] || { echo "compare.sh: --mb takes a whole number of MB, not '$mb'" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/kt-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
# A cancelled run leaves nothing behind either.
trap 'exit 130' INT TERM

keep_row() { [[ "$1" =~ ${KT_BENCH_ROWS:-.} ]]; }
# timed COMMAND...: runs it with its output discarded and sets WALL, CPU
# (user + system; fairer than wall on a shared machine) and RSS (peak KB).
timed() {
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" > "$work/time.out" 2>&1 ||
    { cat "$work/time.out" >&2; echo "compare.sh: failed: $*" >&2; exit 1; }
  local user sys
  read -r WALL user sys RSS < "$work/time"
  CPU=$(awk -v u="$user" -v s="$sys" 'BEGIN{print u + s}')
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", (b > 0 ? a / b : 0)}'; }
bytes_of() { find "$1" -type f -name "$2" ! -name .done -printf '%s\n' | awk '{s += $1} END {print s + 0}'; }
corpora() { "$root/bench/make_corpora.sh" "$corpus_dir" "$@"; }
# The set's files, one path a line, into $work/list (and the array files).
list_set() {
  mapfile -d '' files < <(find "$1" -type f ! -name .done -print0 | sort -z)
  printf '%s\n' "${files[@]}" > "$work/list"
}
# jlha: the command that packs each listed file (stdin) into OUTDIR, its
# next argument; empty where Java or jlha is missing.
jlha=()
jlha_ready() {
  [ ${#jlha[@]} -gt 0 ] && return 0
  command -v javac >/dev/null && [ -f /usr/share/java/jlha.jar ] || return 1
  mkdir -p "$work/java"
  javac -cp /usr/share/java/jlha.jar -d "$work/java" "$root/bench/jlha/JlhaBatch.java"
  jlha=(java -cp "/usr/share/java/jlha.jar:$work/java" JlhaBatch)
}
# say WIDTH LABEL [rss]: the line of the zip, read and tar tables for the last
# timed command.
say() {
  printf "%-${1}s wall %7.2f s  cpu %7.2f s" "$2" "$WALL" "$CPU"
  [ "${3:-}" = rss ] && printf '  maxrss %7d KB' "$RSS"
  echo
}

# --- pack and levels ---------------------------------------------------------
table_pack() {
  corpora "${sets[@]}" > /dev/null
  jlha_ready || true
  local cores; cores=$(nproc)
  now() { date +%s.%N; }
  printf '%-22s %-7s %9s %9s %13s %7s %8s\n' tool corpus seconds MB/s bytes ratio vs-zip
  for set in "${sets[@]}"; do
    list_set "$corpus_dir/$set"
    in_bytes=$(bytes_of "$corpus_dir/$set" '*')
    zip_secs=
    measure() {  # name, then the command that writes archives into $out
      local name=$1; shift
      keep_row "$name" || return 0
      out=$work/out; rm -rf "$out"; mkdir -p "$out"
      sync
      local t0 t1 secs bytes
      t0=$(now); "$@" >/dev/null 2>&1 || { echo "$name failed on $set" >&2; return 0; }; t1=$(now)
      secs=$(echo "$t1 - $t0" | bc -l)
      bytes=$(bytes_of "$out" '*.*')
      [ "$name" = "zip -q -j -D loop" ] && zip_secs=$secs
      printf '%-22s %-7s %9.2f %9.1f %13d %7.4f %8s\n' "$name" "$set" "$secs" \
        "$(echo "$in_bytes / 1000000 / $secs" | bc -l)" "$bytes" "$(echo "$bytes / $in_bytes" | bc -l)" \
        "$( [ -n "$zip_secs" ] && printf '%.2fx' "$(echo "$secs / $zip_secs" | bc -l)" || echo -)"
    }
    zip_loop() { for f in "${files[@]}"; do n=${f##*/}; zip -q -j -D "$@" "$out/${n%.*}.zip" "$f"; done; }
    sevenz_loop() { for f in "${files[@]}"; do n=${f##*/}; 7z a -tzip "$@" -bso0 -bsp0 "$out/${n%.*}.zip" "$f"; done; }
    jlha_pack() { "${jlha[@]}" "$out" -lh7- 2 < "$work/list"; }
    kaltri_pack() { "$bin/kaltri" pack --overwrite all --on-error continue --out "$out" "$@" "${files[@]}"; }

    if [ "$table" = levels ]; then
      measure "zip -q -j -D loop" zip_loop
      for l in 1 9; do measure "zip -$l loop" zip_loop "-$l"; done
      for l in 0 1 2 3 4 5 6 7 8 9; do measure "kaltri zip --level $l" kaltri_pack --format zip --jobs 1 --level $l; done
      for l in 1 9; do measure "7z -tzip -mx$l loop" sevenz_loop "-mx$l"; done
      for m in lh5 lh6 lh7; do
        for e in fast normal best; do measure "kaltri $m $e" kaltri_pack --format lzh --jobs 1 --method $m --effort $e; done
      done
      [ ${#jlha[@]} -gt 0 ] && measure "jlha -lh7- (one JVM)" jlha_pack
      continue
    fi

    measure "zip -q -j -D loop" zip_loop
    measure "kaltri zip -j1" kaltri_pack --format zip --jobs 1
    measure "kaltri zip -j$cores" kaltri_pack --format zip --jobs "$cores"
    measure "kaltri lzh -j1" kaltri_pack --format lzh --jobs 1
    measure "kaltri lzh -j$cores" kaltri_pack --format lzh --jobs "$cores"
    [ ${#jlha[@]} -gt 0 ] && measure "jlha -lh7- (one JVM)" jlha_pack
    if [ "$set" != large ] || [ -n "${KT_BENCH_7Z_LARGE:-}" ]; then
      measure "7z a -tzip loop" sevenz_loop
    fi
  done
}

# --- lzh ---------------------------------------------------------------------
table_lzh() {
  corpora "${sets[@]}" > /dev/null
  jlha_ready || { echo "compare.sh: the lzh table needs javac and /usr/share/java/jlha.jar" >&2; exit 1; }
  row() {  # TOOL CORPUS INBYTES OUTBYTES, after timed
    awk -v t="$1" -v c="$2" -v i="$3" -v o="$4" -v s="$WALL" -v u="$CPU" -v m="$RSS" 'BEGIN {
        printf "| %-20s | %-6s | %8.2f | %7.1f | %8.2f | %7.1f | %11d | %6.4f | %7d |\n",
               t, c, s, i / 1e6 / s, u, i / 1e6 / u, o, o / i, m }'
  }
  echo "| tool                 | corpus | wall s   | MB/s    | CPU s    | CPU MB/s| bytes       | ratio  | RSS KB  |"
  echo "|----------------------|--------|----------|---------|----------|---------|-------------|--------|---------|"
  local c mode
  for c in "${sets[@]}"; do
    list_set "$corpus_dir/$c"
    local in; in=$(bytes_of "$corpus_dir/$c" '*')
    [ "$c" = medium ] && modes="default best" || modes=default
    for mode in $modes; do
      keep_row "ours -lh7- $mode" || continue
      rm -rf "$work/ours" && mkdir -p "$work/ours"
      timed "$bin/lzh_pack_batch" "$bin/UNLHA32.DLL" "$work/ours" "$([ "$mode" = best ] && echo -jm1)" < "$work/list"
      row "ours -lh7- $mode" "$c" "$in" "$(bytes_of "$work/ours" '*.lzh')"
    done
    if keep_row "jlha -lh7-"; then
      rm -rf "$work/jlha" && mkdir -p "$work/jlha"
      timed "${jlha[@]}" "$work/jlha" -lh7- 2 < "$work/list"
      row "jlha -lh7-" "$c" "$in" "$(bytes_of "$work/jlha" '*.lzh')"
    fi
    if [ "$c" != large ] && keep_row "zip -9"; then
      rm -rf "$work/zip" && mkdir -p "$work/zip"
      timed sh -c 'n=0; while IFS= read -r f; do n=$((n+1)); zip -9 -q -j "$0/$n.zip" "$f"; done' "$work/zip" < "$work/list"
      row "zip -9" "$c" "$in" "$(bytes_of "$work/zip" '*.zip')"
    fi
    if [ "$c" = medium ] && keep_row "7z deflate optimal"; then
      rm -rf "$work/7z" && mkdir -p "$work/7z"
      timed sh -c 'n=0; while IFS= read -r f; do n=$((n+1)); 7z a -tzip -mx=9 -mfb=258 -mpass=15 "$0/$n.zip" "$f" >/dev/null; done' "$work/7z" < "$work/list"
      row "7z deflate optimal" "$c" "$in" "$(bytes_of "$work/7z" '*.zip')"
    fi
    keep_row "ours test (unpack)" || keep_row "lhasa test (unpack)" || continue
    # Unpacking speed on our default archives: our library against lhasa.
    rm -rf "$work/ours" && mkdir -p "$work/ours"
    "$bin/lzh_pack_batch" "$bin/UNLHA32.DLL" "$work/ours" "" < "$work/list" > /dev/null
    find "$work/ours" -name '*.lzh' | sort > "$work/arcs"
    local packed; packed=$(bytes_of "$work/ours" '*.lzh')
    if keep_row "ours test (unpack)"; then
      timed "$bin/lzh_pack_batch" "$bin/UNLHA32.DLL" --test < "$work/arcs"
      row "ours test (unpack)" "$c" "$in" "$packed"
    fi
    if keep_row "lhasa test (unpack)"; then
      timed sh -c 'while IFS= read -r a; do lhasa tq "$a" || exit 1; done' < "$work/arcs"
      row "lhasa test (unpack)" "$c" "$in" "$packed"
    fi
  done
}

# --- zip ---------------------------------------------------------------------
table_zip() {
  corpora "${sets[@]}" > /dev/null
  local small=$corpus_dir/small t_zip t_ours t_unzip t_unours
  if [[ " ${sets[*]} " == *" small "* ]]; then
    echo "== small corpus: $(find "$small" -type f ! -name .done | wc -l) files, $(bytes_of "$small" '*') bytes, one archive per file"
    mkdir -p "$work/zip" "$work/ours" "$work/oursP" "$work/zipP"
    timed bash -c 'for f in "$0"/*; do /bin/true; done' "$small"; say 34 "true loop (process spawn)" rss
    timed bash -c 'for f in "$0"/*; do b=${f##*/}; zip -q -j -D "$1/${b%.*}.zip" "$f"; done' "$small" "$work/zip"
    say 34 "zip -q -j -D loop" rss; t_zip=$WALL
    timed bash -c 'for f in "$0"/*; do b=${f##*/}; zip -q -j -D -P pw "$1/${b%.*}.zip" "$f"; done' "$small" "$work/zipP"
    say 34 "zip -q -j -D -P loop" rss
    timed "$bin/zip_batch" pack "$bin" "$small" "$work/ours"; say 34 "ZIP32J.DLL batch (driver line)" rss; t_ours=$WALL
    timed "$bin/zip_batch" pack "$bin" "$small" "$work/oursP" pw; say 34 "ZIP32J.DLL batch with -P" rss
    if [ "${WITH_7Z:-0}" = 1 ]; then
      mkdir -p "$work/7z"
      timed bash -c 'for f in "$0"/*; do b=${f##*/}; 7z a -tzip "$1/${b%.*}.zip" "$f" >/dev/null; done' "$small" "$work/7z"
      say 34 "7z a -tzip loop" rss
    fi
    echo "output bytes: zip $(bytes_of "$work/zip" '*.zip')  ours $(bytes_of "$work/ours" '*.zip')  zip -P $(bytes_of "$work/zipP" '*.zip')  ours -P $(bytes_of "$work/oursP" '*.zip')"
    echo "ratio zip loop / ours: $(ratio "$t_zip" "$t_ours")x   (goal >= 8)"

    echo "== extraction of the small archives"
    mkdir -p "$work/unz" "$work/unours"
    timed bash -c 'for f in "$0"/*.zip; do unzip -qo "$f" -d "$1"; done' "$work/zip" "$work/unz"; say 34 "unzip -qo loop" rss; t_unzip=$WALL
    timed "$bin/zip_batch" unpack "$bin" "$work/zip" "$work/unours"; say 34 "UNZIP32.DLL batch" rss; t_unours=$WALL
    echo "ratio unzip / ours: $(ratio "$t_unzip" "$t_unours")x   (goal >= 1)"
    rm -rf "$work"/zip "$work"/zipP "$work"/ours "$work"/oursP "$work"/unz "$work"/unours
  fi

  [[ " ${sets[*]} " == *" large "* ]] || return 0
  echo "== large files"
  local f name
  for f in "$corpus_dir"/large/*; do
    [ -f "$f" ] || continue
    name=${f##*/}
    mkdir -p "$work/L" "$work/Lo" "$work/Lu" "$work/Lz"
    ln -sf "$f" "$work/L/$name"
    timed zip -q -j -D "$work/Lz/z.zip" "$f"; say 34 "zip -6 $name" rss; t_zip=$WALL
    timed "$bin/zip_batch" pack "$bin" "$work/L" "$work/Lo"; say 34 "ZIP32J.DLL $name" rss; t_ours=$WALL
    echo "  bytes: zip $(bytes_of "$work/Lz" z.zip)  ours $(bytes_of "$work/Lo" '*.zip')  throughput ratio $(ratio "$t_zip" "$t_ours")x (goal >= 2.5)"
    timed unzip -qo "$work/Lz/z.zip" -d "$work/Lu"; say 34 "unzip $name" rss; t_unzip=$WALL
    rm -rf "$work/Lu"; mkdir -p "$work/Lu"; mv "$work/Lz/z.zip" "$work/Lz/copy.zip"
    timed "$bin/zip_batch" unpack "$bin" "$work/Lz" "$work/Lu"; say 34 "UNZIP32.DLL $name" rss; t_unours=$WALL
    echo "  extraction ratio unzip / ours: $(ratio "$t_unzip" "$t_unours")x"
    rm -rf "$work/L" "$work/Lo" "$work/Lu" "$work/Lz"
  done
}

# --- read and tar: made input ------------------------------------------------
# input_tree DIR: about 6/10 text and 3/10 shared libraries of this machine and
# 1/10 incompressible bytes, --mb MB in all, as DIR/text/, DIR/lib/ and
# DIR/noise.bin.
input_tree() {
  mkdir -p "$1/text" "$1/lib"
  copy() {  # target bytes, folder, find arguments...
    local want=$1 to=$2 have=0 f; shift 2
    while IFS= read -r -d '' f; do
      cp "$f" "$to/$(echo "$f" | tr '/' '_')"
      have=$((have + $(stat -c %s "$f")))
      [ "$have" -ge "$want" ] && break
    done < <(find "$@" -type f -size -4M -print0 2>/dev/null | sort -z) || true
  }
  copy $((mb * 6 / 10 * 1048576)) "$1/text" /usr/include /usr/share/doc
  copy $((mb * 3 / 10 * 1048576)) "$1/lib" /usr/lib/x86_64-linux-gnu -name '*.so*'
  head -c $((mb * 1048576 / 10)) /dev/urandom > "$1/noise.bin"
}

table_read() {
  # Whole files rather than trees: a text, a program image and noise, each
  # one member, as users exchange them.
  input_tree "$work/tree"
  mkdir -p "$work/in"
  find "$work/tree/text" -type f -print0 | sort -z | xargs -0 cat > "$work/in/text.txt"
  find "$work/tree/lib" -type f -print0 | sort -z | xargs -0 cat > "$work/in/programs.bin"
  mv "$work/tree/noise.bin" "$work/in/noise.bin"
  rm -rf "$work/tree"
  echo "input: $(bytes_of "$work/in" '*') bytes"
  local method m t_tool
  for method in Deflate64 BZip2 LZMA; do
    (cd "$work/in" && 7z a -tzip -m0=$method "$work/$method.zip" text.txt programs.bin noise.bin >/dev/null)
    rm -rf "$work/o7" "$work/oo"
    timed 7z x -y -o"$work/o7" "$work/$method.zip"; say 28 "7z x ($method)"; t_tool=$WALL
    timed "$bin/kaltri" extract "$work/$method.zip" -o "$work/oo"; say 28 "kaltri extract ($method)"
    same_files "$work/o7" "$work/oo" || echo "  MISMATCH"
    echo "  ratio 7z / ours: $(ratio "$t_tool" "$WALL")x"
  done
  for m in 1 4; do
    (cd "$work/in" && arj a -m$m "$work/m$m.arj" text.txt programs.bin noise.bin >/dev/null)
    rm -rf "$work/oa" "$work/oo"
    mkdir -p "$work/oa"
    timed bash -c 'cd "$1" && arj x -y "$2"' _ "$work/oa" "$work/m$m.arj"; say 28 "arj x (-m$m)"; t_tool=$WALL
    timed "$bin/kaltri" extract "$work/m$m.arj" -o "$work/oo"; say 28 "kaltri extract (-m$m)"
    same_files "$work/oa" "$work/oo" || echo "  MISMATCH"
    echo "  ratio arj / ours: $(ratio "$t_tool" "$WALL")x"
  done
}
same_files() { diff -r "$1" "$2" > /dev/null; }

table_tar() {
  input_tree "$work/in"
  echo "input: $(bytes_of "$work/in" '*') bytes in $(find "$work/in" -type f | wc -l) files"
  # Our library through its C entry, the way the TAR driver calls it.
  cat > "$work/tar_command.py" <<'PY'
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1])
out = ctypes.create_string_buffer(4096)
rc = lib.Tar(None, sys.argv[2].encode(), out, 4096)
sys.exit(0 if rc == 0 else 1)
PY
  local kind flag ours t_ours
  for kind in gz bz2; do
    flag=$([ $kind = gz ] && echo -z || echo -j)
    ours=$([ $kind = gz ] && echo -z || echo -B)
    timed python3 "$work/tar_command.py" "$bin/tar32.dll" "c $ours -f \"$work/ours.tar.$kind\" -o \"$work/in/\" \"$work/in/text\" \"$work/in/lib\" \"$work/in/noise.bin\""
    say 30 "create tar.$kind: ours"; t_ours=$WALL
    timed tar -C "$work/in" "$flag" -cf "$work/gnu.tar.$kind" text lib noise.bin; say 30 "create tar.$kind: GNU tar"
    echo "  sizes: ours $(stat -c %s "$work/ours.tar.$kind")  GNU tar $(stat -c %s "$work/gnu.tar.$kind")  ratio tool/ours $(ratio "$WALL" "$t_ours")"
    rm -rf "$work/x1" "$work/x2"; mkdir -p "$work/x2"
    timed "$bin/kaltri" extract "$work/gnu.tar.$kind" -o "$work/x1"; say 30 "extract tar.$kind: kaltri"; t_ours=$WALL
    timed tar "$flag" -xf "$work/gnu.tar.$kind" -C "$work/x2"; say 30 "extract tar.$kind: GNU tar"
    same_files "$work/x1" "$work/x2" && echo "  same files; ratio tool/ours $(ratio "$WALL" "$t_ours")"
  done
  (cd "$work/in" && gcab -c -z "$work/gcab.cab" text/* noise.bin >/dev/null)
  rm -rf "$work/x1" "$work/x2"
  timed "$bin/kaltri" extract "$work/gcab.cab" -o "$work/x1"; say 30 "extract cab: kaltri"; t_ours=$WALL
  timed cabextract -q -d "$work/x2" "$work/gcab.cab"; say 30 "extract cab: cabextract"
  same_files "$work/x1" "$work/x2" && echo "  same files; ratio tool/ours $(ratio "$WALL" "$t_ours")"
}

if [ "$table" = levels ]; then table_pack; else "table_$table"; fi
