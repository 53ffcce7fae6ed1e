#!/bin/sh
# cksum_compare.sh WINE_RUN CKSUM_CHECK DIR
# Fingerprints of a few hundred generated files against the cksum utility:
# coreutils' CRC of each file's first 1024 bytes followed by its size must be
# exactly what the plug-in computes under Wine. An empty file has no
# fingerprint: it cannot be mapped. On a mismatch the files stay in DIR.
set -eu
wine_run=$1 check=$2 dir=$3
rm -rf "$dir"
mkdir -p "$dir/files" "$dir/heads"
cd "$dir"
head -c 4096 /dev/zero >zeros
tr '\0' '\377' <zeros >ones
tr '\0' a <zeros >letters

n=1000
for size in 0 1 3 255 256 1023 1024 1025 2000 2 254 257 4096 100001 \
    $(awk 'BEGIN { srand(); for (i = 0; i < 300; i++) print int(rand() * 3000) }'); do
    for source in /dev/urandom zeros ones letters; do
        n=$((n + 1))
        head -c "$size" "$source" >files/f$n
        head -c 1024 files/f$n >heads/f$n
        [ "$size" -le 1025 ] || break  # past the head only random bytes tell more
    done
done

# cksum prints CRC, size and name: the CRC of the head, the size of the file.
cksum heads/* >heads.ck
cksum files/* >files.ck
paste -d' ' heads.ck files.ck | awk '{ print $6, ($5 == 0 ? "failed" : $1 $5) }' >expected
cut -d' ' -f1 expected | sed "s|^|Z:$dir/|" | tr / '\\' >list
"$wine_run" "$check" "Z:$(echo "$dir/list" | tr / '\\')" | tr -d '\r' >results
cut -d' ' -f1 expected | paste -d' ' - results >actual
if ! diff expected actual >mismatches; then
    echo "fingerprints differ from cksum (expected, actual):"
    cat mismatches
    exit 1
fi
echo "$(wc -l <expected) fingerprints agree with cksum"
cd / && rm -rf "$dir"
