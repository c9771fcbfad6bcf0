#!/usr/bin/env bash
# The ZIP level table, measured: for each corpus the bytes of every
# libdeflate level (each file one member, as the ZIP writer makes it) and of
# zip -1 ... -9; then, for each zip level N, the fastest libdeflate level
# whose total over the corpora is at most zip -N's and which is within
# +0.5% of zip -N on every corpus.
# Usage: bench/zip_level_scale.sh [BUILD] [CORPORA]   (defaults build, /tmp/kt-corpora)
set -euo pipefail
build=${1:-build}
corpora=${2:-/tmp/kt-corpora}
tool=$build/bin/deflate_level_scale
[ -x "$tool" ] || { echo "zip_level_scale.sh: build $tool first" >&2; exit 2; }
command -v zip >/dev/null && command -v zipinfo >/dev/null || { echo "needs zip and zipinfo" >&2; exit 2; }
sets=(small medium large)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
for set in "${sets[@]}"; do
  [ -d "$corpora/$set" ] || { echo "no $corpora/$set (bench/make_corpora.sh)" >&2; exit 2; }
  "$tool" "$corpora/$set" | awk -v s="$set" '$1 == "level" { print s, "L" $2, $3, $4 }' >> "$work/table"
  for n in 1 2 3 4 5 6 7 8 9; do
    start=$(date +%s.%N)
    (cd "$corpora/$set" && zip -q -r -X -$n "$work/z.zip" . -x '.done')
    end=$(date +%s.%N)
    bytes=$(zipinfo -t "$work/z.zip" | sed -n 's/.* \([0-9]*\) bytes compressed.*/\1/p')
    echo "$set Z$n $bytes $(echo "$end - $start" | bc)" >> "$work/table"
    rm -f "$work/z.zip"
  done
done
awk '
{ bytes[$2, $1] = $3; secs[$2] += $4; seen[$2] = 1; if (!($1 in sets)) { sets[$1] = 1; order[++ns] = $1 } }
END {
  printf "%-6s", "level"; for (i = 1; i <= ns; i++) printf " %14s", order[i]; printf " %14s %8s\n", "total", "seconds"
  for (k = 1; k <= 12; k++) row("L" k)
  for (n = 1; n <= 9; n++) row("Z" n)
  print ""
  print "zip -N -> libdeflate level (fastest within the rule), ratio of bytes per corpus"
  for (n = 1; n <= 9; n++) {
    z = "Z" n; best = ""
    for (k = 1; k <= 12; k++) {
      l = "L" k; ok = (tot(l) <= tot(z))
      for (i = 1; i <= ns; i++) if (bytes[l, order[i]] > bytes[z, order[i]] * 1.005) ok = 0
      # libdeflate grows slower with every level (the seconds column shows
      # it), so the lowest level that keeps the rule is the fastest.
      if (ok && best == "") best = l
    }
    printf "zip -%d -> %s", n, (best == "" ? "none" : "libdeflate " substr(best, 2))
    if (best != "") for (i = 1; i <= ns; i++) printf "  %s %.4f", order[i], bytes[best, order[i]] / bytes[z, order[i]]
    printf "\n"
  }
}
function tot(l,   i, t) { t = 0; for (i = 1; i <= ns; i++) t += bytes[l, order[i]]; return t }
function row(l,   i) {
  printf "%-6s", l; for (i = 1; i <= ns; i++) printf " %14d", bytes[l, order[i]]
  printf " %14d %8.2f\n", tot(l), secs[l]
}' "$work/table"
