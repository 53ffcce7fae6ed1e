#!/bin/sh
# sign.sh FILE: signs the Windows program FILE in place with the operator's
# certificate and key (SIGN_CERT, SIGN_KEY: PEM files), an Authenticode
# signature over SHA-256, counter-signed by the time-stamp server
# SIGN_TIMESTAMP_URL when one is named. The signing time is the sources'
# (SOURCE_DATE_EPOCH), so that one key signs one build to the same bytes.
# The key is only named to osslsigncode, never printed.
set -eu
file=$1
here=$(cd "$(dirname "$0")" && pwd)
for v in SIGN_CERT SIGN_KEY; do
    eval "path=\${$v:-}"
    [ -n "$path" ] || { echo "sign: $v is not set; both SIGN_CERT and SIGN_KEY are needed" >&2; exit 1; }
    [ -r "$path" ] || { echo "sign: $v names $path, which cannot be read" >&2; exit 1; }
done
epoch=$(sh "$here/epoch.sh")
set -- -certs "$SIGN_CERT" -key "$SIGN_KEY" -h sha256 -n "Velkor Games Online Client" -time "$epoch"
[ -z "${SIGN_TIMESTAMP_URL:-}" ] || set -- "$@" -ts "$SIGN_TIMESTAMP_URL"
rm -f "$file.signed"
if ! osslsigncode sign "$@" -in "$file" -out "$file.signed" >"$file.sign.log" 2>&1; then
    echo "sign: osslsigncode could not sign $file:" >&2
    cat "$file.sign.log" >&2
    rm -f "$file.signed" "$file.sign.log"
    exit 1
fi
rm -f "$file.sign.log"
mv "$file.signed" "$file"
echo "signed: $file"
