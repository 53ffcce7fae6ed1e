#!/bin/sh
# cksum_compare.sh WINE_RUN CKSUM_CHECK DIR
# Fingerprints of a few hundred generated files against the cksum utility:
# coreutils' CRC of each file's first 1024 bytes followed by its size must be
# exactly what the plug-in computes under Wine. An empty file has no
# fingerprint: it cannot be mapped. On a mismatch the files stay in DIR.
set -eu
wine_run=$1 check=$2 dir=$3

rm -rf "$dir"
mkdir -p "$dir/files"
cd "$dir"

n=0
make_file() {  # make_file SIZE SOURCE
    n=$((n + 1))
    name=$(printf 'files/f%03d_%s' "$n" "$1")
    case $2 in
    random) head -c "$1" /dev/urandom >"$name" ;;
    zeros) head -c "$1" /dev/zero >"$name" ;;
    ones) head -c "$1" /dev/zero | tr '\0' '\377' >"$name" ;;
    letter) head -c "$1" /dev/zero | tr '\0' a >"$name" ;;
    esac
}

for size in 0 1 3 255 256 1023 1024 1025 2000; do
    for source in random zeros ones letter; do
        make_file "$size" "$source"
    done
done
for size in 2 4 254 257 511 512 1022 1026 4095 4096 65536 100001; do
    make_file "$size" random
done
for size in $(awk 'BEGIN { srand(); for (i = 0; i < 300; i++) print int(rand() * 3000) }'); do
    make_file "$size" random
done

: >expected
: >list
for f in files/*; do
    size=$(wc -c <"$f" | tr -d ' ')
    if [ "$size" -eq 0 ]; then
        echo "$f failed: CreateFileMapping failed" >>expected
    else
        crc=$(head -c 1024 "$f" | cksum | cut -d' ' -f1)
        echo "$f $crc$size" >>expected
    fi
    printf 'Z:%s\n' "$dir/$f" | tr / '\\' >>list
done

"$wine_run" "$check" "$(printf 'Z:%s' "$dir/list" | tr / '\\')" \
    "$(printf 'Z:%s' "$dir/check.log" | tr / '\\')" | tr -d '\r' >results
ls files | sed 's|^|files/|' | paste -d' ' - results >actual

count=$(wc -l <expected | tr -d ' ')
if ! diff expected actual >mismatches; then
    echo "fingerprints differ from cksum (expected, actual):"
    cat mismatches
    exit 1
fi
echo "$count fingerprints agree with cksum"
cd / && rm -rf "$dir"
