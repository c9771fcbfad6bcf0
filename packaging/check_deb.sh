#!/bin/sh
# Checks a built kalvoratrindle .deb with dpkg-deb: every file of the program
# folder, the links in /usr/bin, the desktop files, and dependencies that
# dpkg-shlibdeps found for the libraries the binaries really link.
# Usage: packaging/check_deb.sh PACKAGE.deb
set -eu
deb=$1
files=$(dpkg-deb -c "$deb" | awk '{ print $6 $7 $8 }')
depends=$(dpkg-deb -f "$deb" Depends)
status=0
need() {
    printf '%s\n' "$files" | grep -qx -- "$1" || { echo "missing in the package: $1"; status=1; }
}
folder=./usr/lib/kalvoratrindle
for name in KalvoraTrindle kaltri libkthub.so KalvoraTrindle.html UNLHA32.DLL ZIP32J.DLL \
            ZIP32.DLL UNZIP32.DLL CAB32.DLL UNARJ32J.DLL tar32.dll UNRAR32.DLL BGA32.DLL; do
    need "$folder/$name"
done
need "./usr/bin/KalvoraTrindle->../lib/kalvoratrindle/KalvoraTrindle"
need "./usr/bin/kaltri->../lib/kalvoratrindle/kaltri"
need ./usr/share/applications/org.kalvoratrindle.KalvoraTrindle.desktop
need ./usr/share/metainfo/org.kalvoratrindle.KalvoraTrindle.metainfo.xml
need ./usr/share/icons/hicolor/scalable/apps/org.kalvoratrindle.KalvoraTrindle.svg
need ./usr/share/icons/hicolor/256x256/apps/org.kalvoratrindle.KalvoraTrindle.png
need ./usr/share/man/man1/kaltri.1.gz
need ./usr/share/bash-completion/completions/kaltri
need ./usr/share/doc/kalvoratrindle/copyright
# Nothing of the build's own: test programs, benchmarks, picture tools.
extra=$(printf '%s\n' "$files" | grep -E '_tests$|_bench$|kt_make_' || true)
[ -z "$extra" ] || { echo "not meant for the package: $extra"; status=1; }
for package in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libarchive13 \
               libdeflate0 libgcab-1.0-0 zlib1g libbz2-1.0 liblzma5 libzstd1 libssl3; do
    printf '%s\n' "$depends" | tr ',' '\n' | grep -q "^ *$package\b" ||
        { echo "Depends lacks $package: $depends"; status=1; }
done
# Not linked, but needed: Qt's platform plugins to open a window at all, and
# Qt's Japanese texts; a Japanese face is recommended.
for package in qt6-qpa-plugins qt6-translations-l10n; do
    printf '%s\n' "$depends" | tr ',' '\n' | grep -q "^ *$package\b" ||
        { echo "Depends lacks $package: $depends"; status=1; }
done
recommends=$(dpkg-deb -f "$deb" Recommends)
printf '%s\n' "$recommends" | grep -q 'fonts-noto-cjk | fonts-ipafont-gothic' ||
    { echo "Recommends lacks a Japanese font: $recommends"; status=1; }
# The libraries are private to the program folder: no maintainer script has
# anything to tell the dynamic linker's cache.
scripts=$(mktemp -d)
trap 'rm -rf "$scripts"' EXIT
dpkg-deb -e "$deb" "$scripts"
if grep -l ldconfig "$scripts"/* 2>/dev/null; then
    echo "a maintainer script calls ldconfig"; status=1
fi
# Every program and library built hardened: full RELRO with bind-now, the
# stack protector, and fortified calls wherever a fortifiable one is made.
dpkg-deb -x "$deb" "$scripts/tree"
for elf in $(find "$scripts/tree" -type f); do
    head -c 4 "$elf" | grep -q 'ELF' || continue
    name=${elf#"$scripts/tree"}
    readelf -lW "$elf" | grep -q GNU_RELRO || { echo "no RELRO: $name"; status=1; }
    readelf -dW "$elf" | grep -Eq 'BIND_NOW|FLAGS_1.*NOW' || { echo "no bind-now: $name"; status=1; }
    symbols=$(readelf --dyn-syms -W "$elf")
    printf '%s\n' "$symbols" | grep -q '__stack_chk_fail' || { echo "no stack protector: $name"; status=1; }
    if printf '%s\n' "$symbols" | grep -Eq ' (memcpy|memmove|memset|strcpy|strncpy|strcat|sprintf|snprintf|vsnprintf|fprintf|printf|read|fgets|realpath|getcwd)(@|$)' &&
       ! printf '%s\n' "$symbols" | grep -q '__[a-z]*_chk'; then
        echo "no fortified calls: $name"; status=1
    fi
done
# The licence, machine-readable.
grep -qs '^License: MIT$' "$scripts/tree/usr/share/doc/kalvoratrindle/copyright" ||
    { echo "copyright does not name the MIT licence"; status=1; }
[ $status -eq 0 ] && echo "$deb: file list and Depends as expected"
exit $status
