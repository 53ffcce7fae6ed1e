#!/bin/sh
# cksum_compare.sh WINE_RUN PLUGIN_LOCATIONS_TESTS DIR
# Fingerprints of a few hundred generated files against the cksum utility:
# coreutils' CRC of each file's first 1024 bytes, then its size (an empty
# file too: 4294967295, then 0); the test program's cksum case compares.
set -eu
"$1" --ready  # this machine may not run the lane at all
rm -rf "$3" && mkdir -p "$3/files" "$3/heads" && cd "$3"
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
paste -d' ' heads.ck files.ck |
    awk '{ sub("/", "\\", $6); print $6, $1 $5 }' >expected
"$1" "$2" --no-skip -tc='*cksum*'
cd / && rm -rf "$3"
