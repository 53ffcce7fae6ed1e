# A certificate authority of the test's own, made now with openssl, and a
# Wine that trusts it and nothing else. Callers set WORK and WINE_RUN.

# make_test_ca DIR: in DIR, a root ("root"), an intermediate it signed, and
# keys and certificates (NAME.key, NAME.pem) of servers named localhost by
# DNS name: "good" and "expired" from the intermediate, "other" from it for
# other.invalid, "unknown" from a root nobody trusts ("stranger"), and
# "selfsigned". openssl's log is DIR/openssl.log.
make_test_ca() {
    d=$1
    mkdir -p "$d/db" && : >"$d/db/index.txt" && echo 1000 >"$d/db/serial" || return
    cat >"$d/ca.cnf" <<CNF
[ca]
default_ca = signer
[signer]
database = $d/db/index.txt
serial = $d/db/serial
new_certs_dir = $d/db
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
[authority]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[intermediate]
basicConstraints = critical, CA:true, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[localhost]
basicConstraints = CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:\$ENV::VK_NAME
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF
    now=$(date -u +%s)
    day() { date -u -d "@$((now + $1 * 86400))" +%Y%m%d%H%M%SZ; }
    # sign NAME COMMON_NAME SIGNER EXTENSIONS FROM_DAY TO_DAY (days from now)
    sign() {
        if [ "$3" = self ]; then set -- "$@" -selfsign -keyfile "$d/$1.key"
        else set -- "$@" -cert "$d/$3.pem" -keyfile "$d/$3.key"; fi
        n=$1 cn=$2 ext=$4 from=$5 to=$6 && shift 6
        openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$d/$n.key" &&
            openssl req -new -key "$d/$n.key" -subj "/CN=$cn" -out "$d/$n.csr" &&
            VK_NAME=$cn openssl ca -batch -config "$d/ca.cnf" -in "$d/$n.csr" -extensions "$ext" \
                -startdate "$(day "$from")" -enddate "$(day "$to")" -notext -out "$d/$n.pem" "$@"
    }
    {
        sign root "vk test root" self authority -1 30 &&
            sign intermediate "vk test intermediate" root intermediate -1 30 &&
            sign good localhost intermediate localhost -1 2 &&
            sign other other.invalid intermediate localhost -1 2 &&
            sign expired localhost intermediate localhost -60 -30 &&
            sign stranger "vk unknown root" self authority -1 30 &&
            sign unknown localhost stranger localhost -1 2 &&
            sign selfsigned localhost self localhost -1 2
    } >"$d/openssl.log" 2>&1
}

# trusting_wine BUNDLE: points WINE_RUN at a runner whose Wine reads BUNDLE
# as the host's CA certificates. Wine reads them from /etc/ssl/certs in
# each program's own process: the runner mounts a folder holding only BUNDLE
# there, in a private mount namespace of that one program, so nothing else
# on the machine sees it. Returns 1, with the reason in $untrusting, where
# that cannot be done (unshare -m needs root).
trusting_wine() {
    mkdir -p "$WORK/certs" && cp "$1" "$WORK/certs/ca-certificates.crt" || return
    if ! unshare -m sh -c 'mount --bind "$0" /etc/ssl/certs &&
                           cmp -s "$0/ca-certificates.crt" /etc/ssl/certs/ca-certificates.crt' \
            "$WORK/certs" 2>"$WORK/unshare.log"; then
        untrusting="Wine cannot be given a CA bundle of the test's own: no private mount namespace"
        untrusting="$untrusting for $(id -un) here ($(head -1 "$WORK/unshare.log"))"
        return 1
    fi
    cat >"$WORK/trusting-wine-run" <<RUN
#!/bin/sh
exec unshare -m sh -c 'mount --bind "\$0" /etc/ssl/certs && exec "\$@"' "$WORK/certs" "$WINE_RUN" "\$@"
RUN
    chmod +x "$WORK/trusting-wine-run"
    WINE_RUN=$WORK/trusting-wine-run
}
