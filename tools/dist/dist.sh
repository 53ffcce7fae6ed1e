#!/bin/sh
# dist.sh: packs the shipped 32-bit files and the operator's README into
# build/dist/velkor-client-<version>.zip, beside the setup program the i686
# build made of the same files (velkor-client-setup-<version>.exe).
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=$top/build/i686/bin
version=$(sh "$top/tools/dist/version.sh")
out=$top/build/dist
stage=$out/velkor-client-$version
zip=$out/velkor-client-$version.zip
setup=$top/build/i686/setup/velkor-client-setup-$version.exe

rm -rf "$out"
mkdir -p "$stage"
for f in NPvkchk.dll vkupdate.exe vkbrowse.exe; do
    [ -f "$bin/$f" ] || { echo "dist: $bin/$f is missing; run make first" >&2; exit 1; }
    cp "$bin/$f" "$stage/"
done
# Operators read it on Windows: CR LF line ends, whatever the checkout has.
sed 's/\r*$/\r/' "$top/tools/dist/README.txt" >"$stage/README.txt"
(cd "$out" && zip -q -X -r "$zip" "velkor-client-$version")
rm -rf "$stage"
if unzip -p "$zip" "velkor-client-$version/README.txt" | grep -qv "$(printf '\r')$"; then
    echo "dist: README.txt in $zip has lines without CR LF" >&2
    exit 1
fi
[ -f "$setup" ] || { echo "dist: $setup is missing; run make first" >&2; exit 1; }
cp "$setup" "$out/"
echo "$zip:"
unzip -l "$zip" | sed -n '4,$p'
echo "$out/$(basename "$setup"): $(wc -c <"$setup") bytes"
