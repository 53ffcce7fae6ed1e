#!/bin/sh
# Makes sure the Debian packages the build and the tests need are present.
# As root it installs what is missing; otherwise it prints the one line to run.
set -eu
packages="cmake make python3 g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 fonts-wine xvfb doctest-dev x11-apps imagemagick icoutils zip"

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "Missing Debian packages. Run as root:" >&2
    echo "  apt-get install -y --no-install-recommends$missing" >&2
    exit 1
fi
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y --no-install-recommends $missing >/dev/null 2>&1 || {
    apt-get update >/dev/null
    apt-get install -y --no-install-recommends $missing
}
