#!/usr/bin/env bash
# The window's run against kaltri -j 1 on the same small files, in one run:
# both make one ZIP per file of the small corpus (bench/make_corpora.sh)
# into a fresh copy of it. The window runs on a real X server (xvfb-run).
# Usage: bench/window_vs_kaltri.sh [CORPUS_DIR] [FORMAT]   (zip or lzh)
# KT_BIN selects the build's bin folder (default build/bin).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=${KT_BIN:-$here/../build/bin}
corpora=${1:-/tmp/kt-corpora}
format=${2:-zip}
"$here/make_corpora.sh" "$corpora" small >/dev/null
work=$(mktemp -d /tmp/kt-window-vs-kaltri-XXXXXX)
trap 'rm -rf "$work"' EXIT
for side in window kaltri; do
  mkdir -p "$work/$side"
  find "$corpora/small" -maxdepth 1 -type f ! -name '.done' -exec cp -t "$work/$side" {} +
done
n=$(find "$work/kaltri" -type f | wc -l)

window=$(xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/window_run_bench" "$format" "$work/window")
wsec=$(echo "$window" | awk '{print $3}')
wcpu=$(echo "$window" | awk '{print $5}')

start=$(date +%s.%N)
"$bin/kaltri" pack --format "$format" --jobs 1 --overwrite all "$work/kaltri" >/dev/null 2>&1
ksec=$(echo "$(date +%s.%N) - $start" | bc -l)

made_w=$(find "$work/window" -name "*.$format" | wc -l)
made_k=$(find "$work/kaltri" -name "*.$format" | wc -l)
printf '%d files, %s\n' "$n" "$format"
printf '%-22s %8.2f s  (%d archives, %.2f s cpu, %.0f us cpu per entry)\n' "window (xvfb)" "$wsec" "$made_w" "$wcpu" \
  "$(echo "$wcpu * 1000000 / $n" | bc -l)"
printf '%-22s %8.2f s  (%d archives)\n' "kaltri -j 1" "$ksec" "$made_k"
printf '%-22s %8.2f x\n' "window / kaltri" "$(echo "$wsec / $ksec" | bc -l)"
