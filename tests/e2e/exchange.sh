#!/bin/sh
# exchange.sh SCENARIO WINE_RUN DRIVE_C BIN WORK
# One whole exchange on loopback: the sample installation in the test bed's
# prefix, the reference server, the browser stand-in and the plug-in, then
# checks of the transcript, the plug-in's log, the server's log and what
# the stand-in launcher recorded.
set -u
scenario=$1 WINE_RUN=$2 drive=$3 BIN=$4 WORK=$5
. "$(dirname "$0")/../../tools/demo/lib.sh"

rm -rf "$WORK"
mkdir -p "$WORK"
trap stop_server EXIT
failures=0
transcript=$WORK/$scenario.transcript
serverlog=$WORK/$scenario.server.log
pluginlog=$drive/windows/versioning.log
launched=$drive/Velkor/System/started.txt

fail() {
    printf 'FAILED: %s\n' "$*"
    failures=$((failures + 1))
}
has() {  # has FILE TEXT: the file holds the text
    grep -qF -- "$2" "$1" 2>/dev/null || fail "$(basename "$1") lacks: $2"
}
lacks() {
    ! grep -qF -- "$2" "$1" 2>/dev/null || fail "$(basename "$1") should not hold: $2"
}
expect_status() {
    [ "$status" = "$1" ] || fail "vkbrowse exited with $status, expected $1"
}

sh "$vk_top/tools/sample/install.sh" "$WINE_RUN" "$drive" "$BIN/vkstandin.exe" || exit 1

case $scenario in
launch)
    start_server "$scenario" || exit 1
    browse "$scenario" "http://127.0.0.1:$port/irampart/" --chunk 16
    status=$?
    expect_status 0
    has "$transcript" "navigation: _top -> http://127.0.0.1:$port/irampart/index.html"
    has "$transcript" "NPP_URLNotify(\"http://127.0.0.1:$port/irampart/ret_objects\", 0 NPRES_DONE)"
    has "$serverlog" "all files match: launch"
    has "$serverlog" "matches  data\\intro movie.dat"
    has "$pluginlog" "Starting C:\\Velkor\\System\\vkclient.exe -game irampart -server 127.0.0.1:7000 -ticket RR-0001"
    wait_for_file "$launched" 10
    has "$launched" "vkclient.exe started in C:\\Velkor\\System with command line: C:\\Velkor\\System\\vkclient.exe -game irampart -server 127.0.0.1:7000 -ticket RR-0001"
    ;;
redirect)
    start_server "$scenario" || exit 1
    browse "$scenario" "http://127.0.0.1:$port/iduskfall/"
    status=$?
    expect_status 0
    has "$transcript" "navigation: _self -> http://127.0.0.1:$port/iduskfall/update.html"
    has "$serverlog" "differs  data\\world.dat"
    has "$serverlog" "matches  <WINDOWS>\\duskfall.ini"
    has "$serverlog" "files differ: redirect"
    has "$pluginlog" "Awake -- buffer is 'REDIRECT;update.html'"
    [ ! -e "$launched" ] || fail "the launcher was started on a redirect"
    ;;
follow-self)
    # The redirect page itself streamed to the instance: state 2 ignores it.
    start_server "$scenario" || exit 1
    browse "$scenario" "http://127.0.0.1:$port/iduskfall/" --follow-self
    status=$?
    expect_status 0
    has "$transcript" "navigation: _self -> http://127.0.0.1:$port/iduskfall/update.html (streamed to the instance)"
    has "$transcript" "NPP_DestroyStream(stream 3, 0 NPRES_DONE) = 0 NPERR_NO_ERROR"
    ;;
abort)
    start_server "$scenario" --command abort || exit 1
    browse "$scenario" "http://127.0.0.1:$port/irampart/"
    status=$?
    expect_status 0
    has "$transcript" "navigation: _top -> http://127.0.0.1:$port/irampart/maintenance.html"
    has "$pluginlog" "Got abort from server -- ABORTING!"
    has "$pluginlog" "Aborting..."
    lacks "$serverlog" "POST"
    [ ! -e "$launched" ] || fail "the launcher was started on an abort"
    ;;
launch-now)
    start_server "$scenario" --command launch-now --command-at answer || exit 1
    browse "$scenario" "http://127.0.0.1:$port/iduskfall/"
    status=$?
    expect_status 0
    has "$pluginlog" "Got launch now -- starting client"
    has "$transcript" "navigation: _top -> http://127.0.0.1:$port/iduskfall/index.html"
    wait_for_file "$launched" 10
    has "$launched" "command line: C:\\Velkor\\System\\vkclient.exe -game iduskfall -server 127.0.0.1:7001 -ticket DF-0001"
    ;;
cut-manifest)
    start_server "$scenario" --cut manifest || exit 1
    browse "$scenario" "http://127.0.0.1:$port/irampart/"
    status=$?
    expect_status 1
    has "$transcript" "the server closed the connection after 38 of 76 bytes"
    has "$transcript" "NPP_DestroyStream(stream 1, 1 NPRES_NETWORK_ERR)"
    has "$transcript" "exchange failed"
    has "$pluginlog" "NPP_DestroyStream called; reason = 1, state = 0"
    has "$pluginlog" "stream ended early; not acted on"
    lacks "$pluginlog" "About to NPN_PostURLNotify"
    ;;
cut-answer)
    start_server "$scenario" --cut answer || exit 1
    browse "$scenario" "http://127.0.0.1:$port/irampart/"
    status=$?
    expect_status 1
    has "$transcript" "NPP_URLNotify(\"http://127.0.0.1:$port/irampart/ret_objects\", 1 NPRES_NETWORK_ERR)"
    has "$transcript" "exchange failed"
    has "$pluginlog" "NPP_URLNotify called with reason = 1"
    # Half an argument list must not reach the launcher.
    has "$pluginlog" "stream ended early; not acted on"
    sleep 1
    [ ! -e "$launched" ] || fail "the launcher was started on a cut answer"
    ;;
no-page)
    # A page the server does not have: no instance is made, and it says so.
    start_server "$scenario" || exit 1
    browse "$scenario" "http://127.0.0.1:$port/inosuch/"
    status=$?
    expect_status 1
    has "$transcript" "could not be opened: HTTP/1.0 404"
    lacks "$transcript" "NPP_New"
    ;;
no-server)
    # Nobody listens: the stand-in says so and no instance is made.
    start_server "$scenario" || exit 1
    stop_server
    browse "$scenario" "http://127.0.0.1:$port/irampart/"
    status=$?
    expect_status 1
    has "$transcript" "could not be opened: cannot connect to 127.0.0.1:$port"
    lacks "$transcript" "NPP_New"
    ;;
*)
    echo "unknown scenario $scenario" >&2
    exit 2
    ;;
esac

if [ "$failures" -gt 0 ]; then
    echo "---- transcript"; cat "$transcript"
    echo "---- plug-in log"; cat "$pluginlog" 2>/dev/null
    echo "---- server log"; cat "$serverlog" 2>/dev/null
    exit 1
fi
echo "$scenario: ok"
