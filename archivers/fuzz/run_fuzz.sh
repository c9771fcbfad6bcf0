#!/bin/sh
# Runs every libFuzzer target of a KT_FUZZ build for a given time each,
# starting from the seed corpora kept in tests/. New inputs go to a work
# corpus in the build folder (the seeds in tests/ stay as they are); any
# crash, leak or sanitizer report is saved under findings/ and listed at
# the end. Usage: run_fuzz.sh BUILD_DIR SECONDS_PER_TARGET
set -u
build=$1
seconds=$2
src=$(cd "$(dirname "$0")/../.." && pwd)
findings="$build/findings"
mkdir -p "$findings"
status=0
run() {
    target=$1
    seeds=$2
    bin="$build/bin/$target"
    [ -x "$bin" ] || { echo "$target: not built"; return; }
    work="$build/corpus/$target"
    mkdir -p "$work"
    [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/ 2>/dev/null
    "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$findings/$target-" "$work" >"$build/$target.log" 2>&1
    rc=$?
    runs=$(grep -o 'Done [0-9]* runs' "$build/$target.log" | tail -1 | awk '{print $2}')
    [ -n "$runs" ] || runs=$(grep -o '#[0-9]*' "$build/$target.log" | tail -1 | tr -d '#')
    echo "$target: ${seconds}s, ${runs:-?} inputs, exit $rc"
    [ "$rc" = 0 ] || status=1
}
run lzh_archive_fuzz "$src/tests/archivers/lzh/fuzz_corpus/archive"
run lzh_decoder_fuzz "$src/tests/archivers/lzh/fuzz_corpus/decoder"
run lzh_roundtrip_fuzz "$src/tests/archivers/lzh/fuzz_corpus/roundtrip"
run arj_archive_fuzz "$src/tests/archivers/arj/fuzz_corpus/archive"
run arj_decoder_fuzz "$src/tests/archivers/arj/fuzz_corpus/decoder"
run zip_reader_fuzz "$src/tests/archivers/zip/fuzz_corpus/archive"
run zip_inflate_fuzz "$src/tests/archivers/zip/fuzz_corpus/inflate"
run zip_bzip2_blocks_fuzz "$src/tests/archivers/zip/fuzz_corpus/bzip2"
run bzip2_decoder_fuzz "$src/tests/archivers/zip/fuzz_corpus/bzip2_decoder"
for f in tar cab rar bga; do
    run "${f}_reading_fuzz" "$src/tests/archivers/$f/fuzz_corpus"
done
for p in lha unzip zip tar cab unrar; do
    run "${p}_command_fuzz" "$src/tests/archivers/common/command_line_corpus/$p"
done
echo "findings: $(ls "$findings" | wc -l) file(s) in $findings"
exit $status
