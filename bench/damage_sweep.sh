#!/bin/sh
# The damage sweep: for one small archive per format and method, every cut
# point and 200 single-byte flips through `kaltri test` and `kaltri extract`.
# Counted per format:
#   lies      changed archives that `test` calls sound although a check could
#             tell (must be 0 where the format has one): every cut, and every
#             flip in a byte that a checksum or a cross-check covers
#   unchecked flips `test` calls sound in a field no checksum or cross-check
#             covers (time stamps, attributes, reserved and extra fields: the
#             list per format is in damage_fields.py, which names the field)
#   same      flips inside packed data that decode to the very same bytes
#             (another encoding of the same content, e.g. a match distance
#             that copies zeros from another run of zeros): nothing was lost
#   wrong     extractions that exited 0 yet left a file differing from the
#             original (must be 0)
#   left      files differing from the original left by a failing extraction
# Usage: bench/damage_sweep.sh [build dir] [flips] ["archive names..."]
# With VERBOSE=1 every flip counted as unchecked or a lie is listed.
set -u
BUILD=${1:-build}
FLIPS=${2:-200}
NAMES=${3:-"lh5.lzh deflate.zip stored.zip plain.tar gz.tgz mszip.cab stored.cab m1.arj"}
KALTRI=$(cd "$BUILD/bin" && pwd)/kaltri
FIELDS=$(cd "$(dirname "$0")" && pwd)/damage_fields.py
VERBOSE=${VERBOSE:-0}
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
check() {  # archive variant: prints "testok wrong left same"
    v=$1
    t=0; w=0; l=0; same=1
    "$KALTRI" test "$v" >/dev/null 2>&1 && t=1
    rm -rf out && mkdir out
    "$KALTRI" extract --overwrite all "$v" -o out >/dev/null 2>&1
    rc=$?
    [ $rc -eq 0 ] || same=0
    for f in a.txt b.txt; do
        if [ -f "out/$f" ] && ! cmp -s "out/$f" "src/$f"; then
            same=0
            if [ $rc -eq 0 ]; then w=$((w + 1)); else l=$((l + 1)); fi
        fi
        [ -f "out/$f" ] || same=0
    done
    echo "$t $w $l $same"
}
printf '%-12s %6s %6s %6s %9s %6s %6s %6s\n' archive size runs lies unchecked same wrong left
for name in $NAMES; do
    make "$name" || continue
    size=$(wc -c < "$name")
    ext=${name#*.}
    runs=0; lies=0; unchecked=0; same=0; wrong=0; left=0
    : > fields.txt
    cut=1
    while [ $cut -lt "$size" ]; do
        head -c "$cut" "$name" > "v.$ext"
        set -- $(check "v.$ext")
        runs=$((runs + 1)); lies=$((lies + $1)); wrong=$((wrong + $2)); left=$((left + $3))
        [ "$1" = 1 ] && [ "$VERBOSE" = 1 ] && echo "  lie: cut at $cut" >&2
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
            runs=$((runs + 1)); wrong=$((wrong + $2)); left=$((left + $3))
            if [ "$1" = 1 ]; then
                field=$(python3 "$FIELDS" "$name" "$at" 2>/dev/null || echo -)
                case $field in
                    -|"") lies=$((lies + 1)); field="lie" ;;
                    data)
                        if [ "$4" = 1 ]; then same=$((same + 1)); field="same bytes";
                        else lies=$((lies + 1)); field="lie in data"; fi ;;
                    *) unchecked=$((unchecked + 1)) ;;
                esac
                echo "$field" >> fields.txt
                [ "$VERBOSE" = 1 ] && echo "  flip at $at: $field" >&2
            fi
        fi
        n=$((n + 1))
    done
    printf '%-12s %6s %6s %6s %9s %6s %6s %6s\n' "$name" "$size" "$runs" "$lies" "$unchecked" "$same" "$wrong" "$left"
    sort fields.txt | uniq -c | sed 's/^/    /'
done
