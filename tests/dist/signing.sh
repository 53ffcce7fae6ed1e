#!/bin/sh
# signing.sh LOADER BUILD WORK
# make dist's packing of the i686 build BUILD with a certificate and key
# made here (WORK/cert.pem, WORK/key.pem): NPvkchk.dll, vkupdate.exe, the
# setup and the uninstaller that setup installs (in a Wine prefix of its
# own, WORK/bed) each carry a SHA-256 signature that osslsigncode verifies
# against the certificate, and fail it with one byte changed. Their
# signatures removed, they are the unsigned build's files; signed again,
# the same bytes. No key in any output.
set -u
loader=$1 build=$(realpath -m "$2") WORK=$(realpath -m "$3")
. "$(dirname "$0")/../support/check.sh"
version=$(sh "$vk_top/tools/dist/version.sh")
setup=velkor-client-setup-$version.exe
rm -rf "$WORK" && mkdir -p "$WORK"
for tool in osslsigncode openssl; do
    command -v $tool >/dev/null || skip "$tool is not installed (Debian package $tool)"
done
trap 'bed_down "$WORK/bed" "$loader"' EXIT

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Velkor Games Online test signer" \
    -addext extendedKeyUsage=codeSigning -keyout "$WORK/key.pem" -out "$WORK/cert.pem" 2>"$WORK/openssl.log" ||
    { cat "$WORK/openssl.log"; echo "FAILED: openssl made no certificate"; exit 1; }
export SIGN_CERT="$WORK/cert.pem" SIGN_KEY="$WORK/key.pem"
dist() {  # dist OUT: the packing as make dist does it, its output in OUT.log
    sh "$vk_top/tools/dist/dist.sh" "$build" "$WORK/$1" >"$WORK/$1.log" 2>&1 || fail "dist.sh into $1: $(cat "$WORK/$1.log")"
}
dist signed
dist again
SIGN_CERT= SIGN_KEY= dist unsigned
[ "$(grep -c "^dist: unsigned" "$WORK/unsigned.log")" = 1 ] || fail "an unsigned dist does not say so in one line"
SIGN_KEY= sh "$vk_top/tools/dist/dist.sh" "$build" "$WORK/halfway" >"$WORK/halfway.log" 2>&1 &&
    fail "dist.sh signed with a certificate and no key"
grep -q "SIGN_KEY is not set" "$WORK/halfway.log" || fail "no key, and no word of it: $(cat "$WORK/halfway.log")"
key_line=$(sed -n 2p "$WORK/key.pem")
for log in "$WORK"/*.log; do
    grep -q -e "PRIVATE KEY" -e "$key_line" "$log" && fail "$(basename "$log") holds the key"
done
cmp -s "$WORK/signed/$setup" "$WORK/again/$setup" || fail "two signings of one build differ"
mkdir -p "$WORK/files"
unzip -q -o "$WORK/signed/velkor-client-$version.zip" -d "$WORK/files" || fail "the signed zip cannot be read"
files=$WORK/files/velkor-client-$version

# The uninstallers as the two setups install them.
uninstallers=no
sh "$vk_top/cmake/testbed.sh" up "$WORK/bed" "$loader" "$build/bin/vkholddesktop.exe" 32 >"$WORK/bed.log" 2>&1
case $? in
0)
    for kind in signed unsigned; do
        "$WORK/bed/wine-run" "$WORK/$kind/$setup" /S '/D=C:\'$kind >"$WORK/install.$kind.out" 2>/dev/null ||
            fail "the $kind setup did not install: $(cat "$WORK/install.$kind.out")"
        cp "$WORK/bed/prefix/drive_c/$kind/uninstall.exe" "$WORK/uninstall.$kind.exe" 2>/dev/null
    done
    cmp -s "$WORK/bed/prefix/drive_c/unsigned/NPvkchk.dll" "$build/bin/NPvkchk.dll" ||
        fail "the unsigned setup did not install the build's NPvkchk.dll"
    uninstallers=yes ;;
77) echo "not checked: the uninstaller; $(tail -1 "$WORK/bed.log")" ;;
*) fail "no Wine test bed: $(cat "$WORK/bed.log")" ;;
esac

# name|signed file|the unsigned build's file ("" where they differ by more)
while IFS='|' read -r name signed unsigned; do
    [ -f "$signed" ] || { [ $uninstallers = no ] || fail "$name: $signed is missing"; continue; }
    log=$WORK/verify.$name.log
    osslsigncode verify -CAfile "$WORK/cert.pem" -in "$signed" >"$log" 2>&1 ||
        fail "$name does not verify: $(cat "$log")"
    grep -q "^Message digest algorithm *: SHA256" "$log" || fail "$name is not signed over SHA-256"
    grep -q "Subject: /CN=Velkor Games Online test signer" "$log" || fail "$name is not signed with the certificate"
    # One byte, half way through: the code, or the setup's packed files.
    cp "$signed" "$WORK/flipped"
    at=$(($(wc -c <"$signed") / 2))
    byte=$(od -An -tu1 -j$at -N1 "$signed" | tr -d ' ')
    printf "\\$(printf %03o $((byte ^ 1)))" | dd of="$WORK/flipped" bs=1 seek=$at conv=notrunc 2>/dev/null
    osslsigncode verify -CAfile "$WORK/cert.pem" -in "$WORK/flipped" >"$WORK/flipped.log" 2>&1 &&
        fail "$name with byte $at changed still verifies"
    if [ -n "$unsigned" ]; then
        rm -f "$WORK/removed"
        osslsigncode remove-signature -in "$signed" -out "$WORK/removed" >/dev/null 2>&1
        cmp -s "$WORK/removed" "$unsigned" || fail "$name with its signature removed is not the unsigned file"
    fi
    echo "$name: signed, verified; one byte changed fails${unsigned:+; unsigned again, the build's own}"
done <<EOF
NPvkchk.dll|$files/NPvkchk.dll|$build/bin/NPvkchk.dll
vkupdate.exe|$files/vkupdate.exe|$build/bin/vkupdate.exe
uninstall.exe|$WORK/uninstall.signed.exe|$WORK/uninstall.unsigned.exe
setup|$WORK/signed/$setup|
EOF
echo "== osslsigncode verify -CAfile cert.pem -in $setup"
cat "$WORK/verify.setup.log"
[ $failures = 0 ] || exit 1
[ $uninstallers = yes ] || exit 77
echo "signing: ok"
