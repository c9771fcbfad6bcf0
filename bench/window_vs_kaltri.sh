#!/usr/bin/env bash
# The window's run against kaltri pack -j 2 (and -j 1) on the same files, side
# by side in one run, over corpus A (small: ~5,000 small texts) and B
# (medium: ~200 files of 0.1-5 MB) of bench/make_corpora.sh. The window runs
# on a real X server (xvfb-run): window_run_bench lists the files, clicks
# 処理(&R) and answers the real boxes, and times the click to the end box.
# Each side packs a fresh copy of the corpus; each figure is the median of
# ROUNDS rounds, with its spread.
#
# Usage: bench/window_vs_kaltri.sh [--percent P] [--rounds N] [--fail]
#                                  [CORPORA_DIR] [FORMAT]
#   FORMAT      zip (default) or lzh
#   --percent   builds the corpora at P percent (1: a quick check the script runs)
#   --rounds    rounds per figure (default 3)
#   --fail      one more window run per corpus with the middle source gone
#               after listing: shows whether the failure prompt comes at that
#               entry with no later archive made before the answer
# KT_BIN selects the build's bin folder (default build/bin); TMPDIR where the
# copies go (a tmpfs keeps the disk out of the figures).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=${KT_BIN:-$here/../build/bin}
percent=() rounds=3 fail=''
while [ $# -gt 0 ]; do
  case $1 in
    --percent) percent=(--percent "${2:?--percent needs a number}"); shift 2 ;;
    --rounds) rounds=${2:?--rounds needs a number}; shift 2 ;;
    --fail) fail=1; shift ;;
    -*) echo "window_vs_kaltri.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
corpora=${1:-/tmp/kt-corpora}
format=${2:-zip}
for tool in xvfb-run bc; do
  command -v "$tool" >/dev/null || { echo "window_vs_kaltri.sh: $tool is needed" >&2; exit 2; }
done
"$here/make_corpora.sh" "${percent[@]}" "$corpora" small medium >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/kt-window-vs-kaltri-XXXXXX")
trap 'rm -rf "$work"' EXIT
# Qt wants a private runtime folder; one of our own keeps its warning away.
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work/runtime}
mkdir -p -m 0700 "$XDG_RUNTIME_DIR"

# A fresh copy of corpus $1 in $work/copy.
fresh() {
  rm -rf "$work/copy"; mkdir -p "$work/copy"
  find "$corpora/$1" -maxdepth 1 -type f ! -name '.done' -exec cp -p -t "$work/copy" {} +
}
now() { date +%s.%N; }
# Median and spread of the numbers on standard input.
stats() { sort -g | awk '{v[NR]=$1} END {printf "%.3f %.3f %.3f", v[int((NR+1)/2)], v[1], v[NR]}'; }

window_round() {  # prints the seconds from the click to the end box
  fresh "$1"
  xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/window_run_bench" "$format" "$work/copy" |
    awk '{print $3}'
}
kaltri_round() {  # $1 corpus, $2 jobs
  fresh "$1"
  local start; start=$(now)
  "$bin/kaltri" pack --format "$format" --jobs "$2" --overwrite all "$work/copy" >/dev/null 2>&1
  echo "$(now) - $start" | bc -l
}

printf '%-10s %-14s %10s %20s %10s\n' corpus side 'median s' 'min - max' '/ -j 2'
for corpus in small medium; do
  n=$(find "$corpora/$corpus" -maxdepth 1 -type f ! -name '.done' | wc -l)
  w='' k2='' k1=''
  # Rounds alternate the sides, so a machine that slows down hits all of them.
  for _ in $(seq "$rounds"); do
    w+="$(window_round "$corpus")"$'\n'
    k2+="$(kaltri_round "$corpus" 2)"$'\n'
    k1+="$(kaltri_round "$corpus" 1)"$'\n'
  done
  read -r wm wl wh <<<"$(printf '%s' "$w" | stats)"
  read -r k2m k2l k2h <<<"$(printf '%s' "$k2" | stats)"
  read -r k1m k1l k1h <<<"$(printf '%s' "$k1" | stats)"
  printf '%-10s %-14s %10.3f %9.3f - %-8.3f %10.2f\n' "$corpus" "window" "$wm" "$wl" "$wh" \
    "$(echo "$wm / $k2m" | bc -l)"
  printf '%-10s %-14s %10.3f %9.3f - %-8.3f %10.2f\n' "$n files" "kaltri -j 2" "$k2m" "$k2l" "$k2h" 1
  printf '%-10s %-14s %10.3f %9.3f - %-8.3f %10.2f\n' "" "kaltri -j 1" "$k1m" "$k1l" "$k1h" \
    "$(echo "$k1m / $k2m" | bc -l)"
  if [ -n "$fail" ]; then
    fresh "$corpus"
    xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/window_run_bench" --fail-middle "$format" \
      "$work/copy" | sed 's/^/           planted failure: /'
  fi
done
