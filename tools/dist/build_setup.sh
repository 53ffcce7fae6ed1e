#!/bin/sh
# build_setup.sh BIN SITE OUT_DIR [VERSION]
# Makes OUT_DIR/velkor-client-setup-<version>.exe from the shipped files in
# BIN and the operator's README, with https://SITE as the trusted server it
# sets by default. The version is the plug-in's, from plugin/version.h
# (VERSION stands in for it when the tests make an older setup).
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
exe=$out/velkor-client-setup-$version.exe
makensis -V2 -DVERSION="$version" -DSITE="$site" -DSTAGE="$stage" -DOUTFILE="$exe" "$here/setup.nsi"
rm -rf "$stage"
