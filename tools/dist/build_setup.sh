#!/bin/sh
# build_setup.sh BIN SITE OUT_DIR [VERSION]
# Makes OUT_DIR/velkor-client-setup-<version>.exe from the shipped files in
# BIN and the operator's README, with https://SITE as the trusted server it
# sets by default. The version is the plug-in's, from plugin/version.h
# (VERSION stands in for it when the tests make an older setup). The
# setup's width is the files': 32 bits as shipped, 64 for the x86_64 build,
# so that it writes the registry view and Program Files folder where a
# browser of that width finds the plug-in.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bin=$1 site=$2 out=$(realpath -m "$3")
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
exe=$out/velkor-client-setup-$version.exe
makensis -V2 -DVERSION="$version" -DSITE="$site" -DSTAGE="$stage" -DOUTFILE="$exe" -DWIDTH=$width "$here/setup.nsi"
rm -rf "$stage"
