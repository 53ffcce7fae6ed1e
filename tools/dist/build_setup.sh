#!/bin/sh
# build_setup.sh [--sign] BIN SITE OUT_DIR [VERSION]
# Makes OUT_DIR/velkor-client-setup-<version>.exe from the shipped files in
# BIN and the operator's README, with https://SITE as the trusted server it
# sets by default. The version is the plug-in's, from plugin/version.h
# (VERSION stands in for it when the tests make an older setup). The
# setup's width is the files': 32 bits as shipped, 64 for the x86_64 build,
# so that it writes the registry view and Program Files folder where a
# browser of that width finds the plug-in. The files in it are dated
# SOURCE_DATE_EPOCH (epoch.sh), so the same sources make the same setup.
# --sign signs the uninstaller inside it and the setup itself (sign.sh:
# SIGN_CERT, SIGN_KEY).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
sign=no
if [ "${1:-}" = --sign ]; then
    sign=yes
    shift
    # makensis runs the uninstaller's signing in the script's folder.
    SIGN_CERT=$(realpath -m "${SIGN_CERT:-}") SIGN_KEY=$(realpath -m "${SIGN_KEY:-}")
    export SIGN_CERT SIGN_KEY
fi
bin=$1 site=$2 out=$(realpath -m "$3")
SOURCE_DATE_EPOCH=$(sh "$here/epoch.sh")
export SOURCE_DATE_EPOCH
version=${4:-$(sh "$here/version.sh")}
# The setup's default list must be one the plug-in accepts: a host, and at
# most a port.
case $site in
"" | *[!A-Za-z0-9.:-]* | :* | *:*:*)
    echo "build_setup: VK_SITE_ADDRESS \"$site\" is not a host (with at most :port)" >&2
    exit 1 ;;
esac
stage=$out/setup-stage
rm -rf "$stage"
mkdir -p "$stage"
for f in NPvkchk.dll vkupdate.exe; do
    [ -f "$bin/$f" ] || { echo "build_setup: $bin/$f is missing" >&2; exit 1; }
    cp "$bin/$f" "$stage/"
done
# Operators read it on Windows: CR LF line ends, whatever the checkout has.
sed 's/\r*$/\r/' "$here/README.txt" >"$stage/README.txt"
# The PE header's machine field: i386 or amd64.
pe=$(od -An -tu4 -j60 -N4 "$stage/NPvkchk.dll" | tr -d ' ')
case $(od -An -tx2 -j$((pe + 4)) -N2 "$stage/NPvkchk.dll" | tr -d ' ') in
014c) width=32 ;;
8664) width=64 ;;
*) echo "build_setup: $bin/NPvkchk.dll is neither a 32- nor a 64-bit Windows library" >&2; exit 1 ;;
esac
# The setup's icon is the updater's.
wrestool -x -t 14 "$stage/vkupdate.exe" >"$stage/vkupdate.ico"
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
exe=$out/velkor-client-setup-$version.exe
signed=""
[ $sign = no ] || signed=-DSIGN
makensis -V2 -DVERSION="$version" -DSITE="$site" -DSTAGE="$stage" -DOUTFILE="$exe" -DWIDTH=$width \
    $signed "$here/setup.nsi"
[ $sign = no ] || sh "$here/sign.sh" "$exe"
rm -rf "$stage"
