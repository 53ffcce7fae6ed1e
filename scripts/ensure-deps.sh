#!/bin/sh
# Makes sure the Debian packages the build and the tests need are present.
# As root it installs what is missing; otherwise it prints the lines to run.
# wine32:i386 runs the shipped 32-bit files: it needs the i386 architecture,
# and apt then brings the amd64 Wine packages to the same point release.
set -eu
packages="cmake make python3 g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 wine32:i386 fonts-wine xvfb doctest-dev x11-apps imagemagick icoutils zip libgnutls30:i386 nsis nginx-light tinyproxy openssl ca-certificates gunicorn osslsigncode"

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
i386=yes
dpkg --print-foreign-architectures | grep -qx i386 || i386=no
[ -z "$missing" ] && [ $i386 = yes ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "Missing Debian packages. Run as root:" >&2
    [ $i386 = yes ] || echo "  dpkg --add-architecture i386 && apt-get update" >&2
    echo "  apt-get install -y --no-install-recommends$missing" >&2
    exit 1
fi
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
if [ $i386 = no ]; then
    dpkg --add-architecture i386
    apt-get update >/dev/null
fi
apt-get install -y --no-install-recommends $missing >/dev/null 2>&1 || {
    apt-get update >/dev/null
    apt-get install -y --no-install-recommends $missing
}
