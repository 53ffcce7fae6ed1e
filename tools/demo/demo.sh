#!/bin/sh
# demo.sh: the main job on the built-in sample data, all on loopback, in a
# private Wine prefix under build/demo. Two version checks through the
# browser stand-in and the reference server (one game up to date, one
# outdated) and one page from a server the plug-in does not trust, then
# vkupdate.exe on the same installation with a screenshot of its summary.
# It runs what players get: the i686 Release files, under 32-bit Wine; on a
# machine whose kernel refuses 32-bit programs it says so and runs the
# x86_64 build of the same sources. Leaves no process running.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
loader=/usr/lib/wine/wine64
BIN=$top/build/i686/bin
WORK=$top/build/demo
bed=$WORK/bed
vk_top=$top
. "$top/harness/session.sh"

rm -rf "$WORK"
mkdir -p "$WORK"
cleanup() {
    stop_server
    [ -z "${trusted_pid:-}" ] || kill "$trusted_pid" 2>/dev/null
    sh "$top/cmake/testbed.sh" down "$bed" "$loader" >/dev/null 2>&1
}
trap cleanup EXIT
trap 'exit 1' INT TERM

echo "== Starting a private Wine prefix and screen (build/demo/bed)"
bits=32 lane=i686 kind="i686 Release, stripped: what players get"
if ! sh "$top/cmake/testbed.sh" up "$bed" "$loader" "$BIN/vkholddesktop.exe" 32 >/dev/null; then
    [ -f "$bed/skipped" ] || exit 1
    echo "   $(cat "$bed/skipped")"
    echo "   The demo runs the x86_64 build of the same sources under 64-bit Wine instead."
    sh "$top/cmake/testbed.sh" down "$bed" "$loader" >/dev/null 2>&1
    rm -rf "$bed"
    bits=64 lane=x64 kind="x86_64 Release, the second lane" BIN=$top/build/x64/bin
    sh "$top/cmake/testbed.sh" up "$bed" "$loader" "$BIN/vkholddesktop.exe" 64 >/dev/null || exit 1
fi
WINE_RUN=$bed/wine-run
drive=$bed/prefix/drive_c
echo "== The files it runs ($kind):"
for f in NPvkchk.dll vkupdate.exe vkbrowse.exe; do
    echo "   build/$lane/bin/$f  $(wc -c <"$BIN/$f") bytes"
done

start_server server || exit 1
site=http://127.0.0.1:$port
echo "== vkserver on $site/"
echo "== Installing the sample: components key, VELKORGO.INI, four games, and"
echo "   the plug-in's TrustedServers: $site"
sh "$top/tools/sample/install.sh" --trusted "$site" "$WINE_RUN" "$drive" "$BIN/vkstandin.exe" $bits \
    || exit 1

status=0
exchange() {  # exchange NAME GAME HEADING STATUS: STATUS is the exit status it should end with
    echo
    echo "== $3: vkbrowse transcript"
    browse "$1" "http://127.0.0.1:$port/$2/" --chunk 32
    result=$?
    cat "$WORK/$1.transcript"
    echo "   (vkbrowse exit status $result)"
    [ $result = "$4" ] || status=1
    cp "$drive/windows/versioning.log" "$WORK/$1.versioning.log" 2>/dev/null
    echo
    printf '%s\n' "== The plug-in's log (C:\windows\versioning.log)"
    tr -d '\r' <"$WORK/$1.versioning.log"
}
exchange uptodate irampart "Version check of Rampart Realms (irampart)" 0
exchange outdated iduskfall "Version check of Duskfall (iduskfall)" 0

# The same pages from a second server, on a port the list does not name:
# the plug-in refuses the stream.
trusted_pid=$server_pid
start_server stranger || exit 1
exchange stranger irampart "Rampart Realms from a server the plug-in does not trust (port $port)" 1
stop_server
server_pid=$trusted_pid trusted_pid=
stop_server
echo
echo "== vkserver's log"
cat "$WORK/server.server.log"
echo
printf '%s\n' "== What the stand-in launcher recorded (C:\Velkor\System\started.txt)"
if wait_for_file "$drive/Velkor/System/started.txt" 10; then
    tr -d '\r' <"$drive/Velkor/System/started.txt"
else
    echo "   nothing: vkclient.exe was not started"
    status=1
fi

echo
echo "== vkupdate.exe on the sample installation"
"$WINE_RUN" "$BIN/vkupdate.exe" &
updater=$!
if geometry=$("$WINE_RUN" "$BIN/vkwindow.exe" wait "Velkor Update Utility" 20 | tr -d '\r'); then
    sleep 1  # let the dialog paint
    set -- $geometry
    shot=$WORK/updater-summary.png
    xwd -root -silent -display "$(cat "$bed/display")" | convert xwd:- -crop "${3}x${4}+${1}+${2}" +repage "$shot"
    echo "   the summary dialog shows:"
    "$WINE_RUN" "$BIN/vkwindow.exe" texts "Velkor Update Utility" | tr -d '\r'
    "$WINE_RUN" "$BIN/vkwindow.exe" ok "Velkor Update Utility"
else
    kill "$updater" 2>/dev/null
    status=1
fi
wait "$updater"
echo "   setup programs started:"
if wait_for_file "$drive/Velkor/Games/Tunnel/started.txt" 10; then
    tr -d '\r' <"$drive/Velkor/Games/Tunnel/started.txt" | sed 's/^/   /'
else
    echo "   none"
    status=1
fi
printf '%s\n' "   C:\Velkor\Games\Tunnel\VGOSETUP.INI now reads:"
tr -d '\r' <"$drive/Velkor/Games/Tunnel/VGOSETUP.INI" | sed 's/^/   /'

echo
echo "== Files to read"
echo "   transcripts:  build/demo/uptodate.transcript, build/demo/outdated.transcript,"
echo "                 build/demo/stranger.transcript"
echo "   plug-in logs: build/demo/uptodate.versioning.log, build/demo/outdated.versioning.log,"
echo "                 build/demo/stranger.versioning.log"
echo "   server logs:  build/demo/server.server.log, build/demo/stranger.server.log"
[ -n "${shot:-}" ] && echo "   screenshot of the updater's summary: build/demo/updater-summary.png"
[ $status = 0 ] && echo "== Demo complete" || echo "== Demo finished with failures (see above)"
exit $status
