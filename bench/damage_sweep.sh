#!/bin/sh
# The damage sweep: for one small archive per format and method, every cut
# point and 200 single-byte flips through `kaltri test` and `kaltri extract`.
# Counted per format:
#   test-ok   changed archives that `test` calls sound (must be 0 where the
#             format has a checksum over the data)
#   wrong     extractions that exited 0 yet left a file differing from the
#             original (must be 0)
#   left      files differing from the original left by a failing extraction
# Usage: bench/damage_sweep.sh [build dir] [flips] ["archive names..."]
set -u
BUILD=${1:-build}
FLIPS=${2:-200}
NAMES=${3:-"lh5.lzh deflate.zip stored.zip plain.tar gz.tgz mszip.cab stored.cab m1.arj"}
KALTRI=$(cd "$BUILD/bin" && pwd)/kaltri
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/src"
cd "$WORK/src"
i=0
while [ $i -lt 40 ]; do echo "line $i of a small sample text for the damage sweep"; i=$((i + 1)); done > a.txt
printf 'second member\n' > b.txt
cd "$WORK"
# name  how to make it (in src, writing ../name)
make() {
    case $1 in
        lh5.lzh) (cd src && "$KALTRI" pack -j1 --format lzh --out .. a.txt >/dev/null 2>&1 && mv ../a.lzh ../lh5.lzh) ;;
        deflate.zip) (cd src && zip -q -9 ../deflate.zip a.txt b.txt) ;;
        stored.zip) (cd src && zip -q -0 ../stored.zip a.txt b.txt) ;;
        plain.tar) (cd src && tar -cf ../plain.tar a.txt b.txt) ;;
        gz.tgz) (cd src && tar -czf ../gz.tgz a.txt b.txt) ;;
        mszip.cab) (cd src && gcab -c -z ../mszip.cab a.txt b.txt) ;;
        stored.cab) (cd src && gcab -c ../stored.cab a.txt b.txt) ;;
        m1.arj) (cd src && arj a -m1 -i -y ../m1.arj a.txt b.txt >/dev/null) ;;
    esac
}
check() {  # archive variant: prints "testok wrong left"
    v=$1
    t=0; w=0; l=0
    "$KALTRI" test "$v" >/dev/null 2>&1 && t=1
    rm -rf out && mkdir out
    "$KALTRI" extract --overwrite all "$v" -o out >/dev/null 2>&1
    rc=$?
    for f in a.txt b.txt; do
        if [ -f "out/$f" ] && ! cmp -s "out/$f" "src/$f"; then
            if [ $rc -eq 0 ]; then w=$((w + 1)); else l=$((l + 1)); fi
        fi
    done
    echo "$t $w $l"
}
printf '%-12s %6s %6s %8s %6s %6s\n' archive size runs test-ok wrong left
for name in $NAMES; do
    make "$name" || continue
    size=$(wc -c < "$name")
    ext=${name#*.}
    runs=0; tok=0; wrong=0; left=0
    cut=1
    while [ $cut -lt "$size" ]; do
        head -c "$cut" "$name" > "v.$ext"
        set -- $(check "v.$ext")
        runs=$((runs + 1)); tok=$((tok + $1)); wrong=$((wrong + $2)); left=$((left + $3))
        cut=$((cut + 1))
    done
    n=0
    while [ $n -lt "$FLIPS" ]; do
        at=$(( (n * 7919 + 13) % size ))
        cp "$name" "v.$ext"
        byte=$(od -An -tu1 -j "$at" -N1 "$name" | tr -d ' ')
        printf "$(printf '\\%03o' $(( (byte + 1 + n % 255) % 256 )))" |
            dd of="v.$ext" bs=1 seek="$at" conv=notrunc 2>/dev/null
        if ! cmp -s "$name" "v.$ext"; then
            set -- $(check "v.$ext")
            runs=$((runs + 1)); tok=$((tok + $1)); wrong=$((wrong + $2)); left=$((left + $3))
        fi
        n=$((n + 1))
    done
    printf '%-12s %6s %6s %8s %6s %6s\n' "$name" "$size" "$runs" "$tok" "$wrong" "$left"
done
