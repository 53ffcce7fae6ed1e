#!/bin/sh
# bed.sh up|down: a standing Wine test bed in build/sample with the sample
# installation, for running the pieces by hand (make sample, make
# sample-down). It runs the shipped i686 files under 32-bit Wine, as the
# tests and the demo do (the x86_64 build under 64-bit Wine where the kernel
# refuses 32-bit programs, as the demo does), and stays up until down. The
# plug-in trusts the reference server at the README's addresses,
# http://127.0.0.1:8080 and, over HTTPS, https://localhost:8443.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top" || exit 1
dir=build/sample loader=/usr/lib/wine/wine64

case ${1:-} in
up)
    bits=32 bin=build/i686/bin
    if ! sh cmake/testbed.sh up "$dir" "$loader" $bin/vkholddesktop.exe 32 >/dev/null; then
        [ -f "$dir/skipped" ] || exit 1
        echo "make sample: $(cat "$dir/skipped"); it uses the x86_64 build instead." >&2
        sh cmake/testbed.sh down "$dir" "$loader" >/dev/null 2>&1
        rm -rf "$dir"
        bits=64 bin=build/x64/bin
        sh cmake/testbed.sh up "$dir" "$loader" $bin/vkholddesktop.exe 64 >/dev/null || exit 1
    fi
    if ! sh tools/sample/install.sh --trusted "http://127.0.0.1:8080 https://localhost:8443" "$dir/wine-run" \
        "$dir/prefix/drive_c" $bin/vkstandin.exe $bits; then
        sh cmake/testbed.sh down "$dir" "$loader"
        exit 1
    fi
    cat <<EOF
The sample installation is up in $dir (Wine prefix, X screen $(cat "$dir/display"),
wineserver); nothing needs exporting. The plug-in trusts pages from
http://127.0.0.1:8080 and https://localhost:8443 only. From the top of the repository:

  python3 tools/server/vkserver.py --port 8080 &
  $dir/wine-run $bin/vkbrowse.exe $bin/NPvkchk.dll http://127.0.0.1:8080/irampart/
  cat $dir/prefix/drive_c/windows/versioning.log
  cat $dir/prefix/drive_c/Velkor/System/started.txt
  $dir/wine-run $bin/vkbrowse.exe $bin/NPvkchk.dll http://127.0.0.1:8080/iduskfall/

Stop it with: make sample-down (and kill %1 for the server)
EOF
    ;;
down)
    sh cmake/testbed.sh down "$dir" "$loader"
    echo "The sample test bed in $dir is down."
    ;;
*)
    echo "usage: bed.sh up|down" >&2
    exit 2
    ;;
esac
