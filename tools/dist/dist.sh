#!/bin/sh
# dist.sh [BUILD [OUT]]
# Packs the shipped 32-bit files of the i686 build BUILD (build/i686) and the
# operator's README into OUT/velkor-client-<version>.zip (OUT: build/dist),
# beside the setup program of the same files (velkor-client-setup-<version>.exe).
# Byte for byte the same from the same sources: every file dated
# SOURCE_DATE_EPOCH as the build was (BUILD/source_date_epoch), the entries
# in one order with fixed attributes.
# With SIGN_CERT and SIGN_KEY (PEM; SIGN_TIMESTAMP_URL optional) NPvkchk.dll
# and vkupdate.exe are signed, and the setup is made again of the signed
# files, with a signed uninstaller, and signed.
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$top/build/i686}")
out=$(realpath -m "${2:-$top/build/dist}")
bin=$build/bin
version=$(sh "$top/tools/dist/version.sh")
stage=$out/velkor-client-$version
zip=$out/velkor-client-$version.zip
setup=$build/setup/velkor-client-setup-$version.exe
[ -f "$build/source_date_epoch" ] || { echo "dist: $build is not configured; run make first" >&2; exit 1; }
SOURCE_DATE_EPOCH=$(cat "$build/source_date_epoch")
export SOURCE_DATE_EPOCH
sign=no
[ -z "${SIGN_CERT:-}${SIGN_KEY:-}" ] || sign=yes

rm -rf "$out"
mkdir -p "$stage"
for f in NPvkchk.dll vkupdate.exe vkbrowse.exe; do
    [ -f "$bin/$f" ] || { echo "dist: $bin/$f is missing; run make first" >&2; exit 1; }
    cp "$bin/$f" "$stage/"
done
# Operators read it on Windows: CR LF line ends, whatever the checkout has.
sed 's/\r*$/\r/' "$top/tools/dist/README.txt" >"$stage/README.txt"
if [ $sign = yes ]; then
    sh "$top/tools/dist/sign.sh" "$stage/NPvkchk.dll"
    sh "$top/tools/dist/sign.sh" "$stage/vkupdate.exe"
    sh "$top/tools/dist/build_setup.sh" --sign "$stage" "$(cat "$build/setup/site.txt")" "$out"
else
    echo "dist: unsigned (make dist SIGN_CERT=cert.pem SIGN_KEY=key.pem signs)"
    [ -f "$setup" ] || { echo "dist: $setup is missing; run make first" >&2; exit 1; }
    cp "$setup" "$out/"
fi
chmod 755 "$stage"
chmod 644 "$stage"/*
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/* "$stage"
# zip keeps local time and the names' order: UTC and a sorted list.
(cd "$out" && find "velkor-client-$version" | LC_ALL=C sort | TZ=UTC0 zip -q -X "$zip" -@)
rm -rf "$stage"
if unzip -p "$zip" "velkor-client-$version/README.txt" | grep -qv "$(printf '\r')$"; then
    echo "dist: README.txt in $zip has lines without CR LF" >&2
    exit 1
fi
echo "$zip:"
unzip -l "$zip" | sed -n '4,$p'
echo "$out/$(basename "$setup"): $(wc -c <"$out/$(basename "$setup")") bytes"
