#!/bin/sh
# exchange.sh SCENARIO WINE_RUN DRIVE_C BITS BIN WORK
# Whole exchanges on loopback (sample installation, reference server, browser
# stand-in, plug-in), checked in the stand-in's transcript ($T), the plug-in's
# log ($P), the server's log ($S) and what the stand-in launcher recorded ($L).
# The installation trusts the scenario's server and no other.
set -u
scenario=$1 WINE_RUN=$2 drive=$3 bits=$4 BIN=$5 WORK=$6
"$WINE_RUN" --ready || exit  # this machine may not run the lane at all
. "$(dirname "$0")/../support/check.sh"
rm -rf "$WORK" && mkdir -p "$WORK"
trap 'stop_server; [ -z "${listed_pid:-}" ] || kill "$listed_pid" 2>/dev/null' EXIT
T=$WORK/$scenario.transcript S=$WORK/$scenario.server.log
P=$drive/windows/versioning.log L=$drive/Velkor/System/started.txt
sys='C:\Velkor\System'
install() {  # install [--trusted "ORIGIN ..." | --no-trusted]
    sh "$vk_top/tools/sample/install.sh" "$@" "$WINE_RUN" "$drive" "$BIN/vkstandin.exe" "$bits" ||
        exit 1
}
serve() {
    start_server "$scenario" "$@" || exit 1
    site=http://127.0.0.1:$port
    install --trusted "$site"
}
run() {  # run STATUS PATH [vkbrowse options]
    want=$1 url=$site/$2 && shift 2
    browse "$scenario" "$url" "$@"; exited $? "$want" vkbrowse
}
launched() {  # launched ARGUMENTS: the client was started with them
    wait_for_file "$L" 10
    has "$L" "vkclient.exe started in $sys, shown 10, with command line: $sys\\vkclient.exe $1"
}
not_launched() { sleep "${1:-0}"; [ ! -e "$L" ] || fail "the launcher was started"; }

case $scenario in
launch)  # Every file matches: the client starts, the page moves on. The
    # address lacks the page's slash: the server's redirect is followed.
    serve; run 0 irampart --chunk 16
    args="-game irampart -server 127.0.0.1:7000 -ticket RR-0001"
    has "$T" "redirected to $site/irampart/"
    has "$T" "navigation: _top -> $site/irampart/index.html"
    has "$T" "NPN_PostURLNotify(\"$site/irampart/ret_objects\""
    has "$T" "NPP_URLNotify(\"$site/irampart/ret_objects\", 0 NPRES_DONE)"
    has "$T" "0 left over"
    has "$P" "trusted servers: $site"
    has "$S" "all files match: launch"  # names with blanks included
    has "$P" "Starting $sys\\vkclient.exe $args"
    launched "$args" ;;
redirect)  # A file differs: to the update page, which the instance then refuses.
    serve; run 0 iduskfall/ --follow-self
    has "$T" "navigation: _self -> $site/iduskfall/update.html (streamed to the instance)"
    # The page is no stream of the exchange: the plug-in takes none of it.
    has "$T" "the plug-in turned down the page's stream; the frame shows the page"
    has "$P" "stream refused: its type is 'text/html', not application/x-velkor-versioning"
    has "$S" "differs  data\\world.dat"
    has "$S" "matches  <WINDOWS>\\duskfall.ini"
    has "$P" "Awake -- buffer is 'REDIRECT;update.html'"
    not_launched ;;
abort)
    serve --command abort; run 0 irampart/
    has "$T" "navigation: _top -> $site/irampart/maintenance.html"
    has "$P" "Got abort from server -- ABORTING!"
    has "$P" "Aborting..."
    lacks "$S" "POST"
    not_launched ;;
launch-now)
    serve --command launch-now --command-at answer; run 0 iduskfall/
    has "$P" "Got launch now -- starting client"
    has "$T" "navigation: _top -> $site/iduskfall/index.html"
    launched "-game iduskfall -server 127.0.0.1:7001 -ticket DF-0001" ;;
cut-manifest)  # The server closes the connection half-way through the manifest.
    serve --cut manifest; run 1 irampart/
    has "$T" "the server closed the connection after 38 of 76 bytes"
    has "$T" "NPP_DestroyStream(stream 1, 1 NPRES_NETWORK_ERR)"
    has "$T" "exchange failed"
    has "$P" "stream ended early; not acted on"
    lacks "$P" "About to NPN_PostURLNotify" ;;
cut-answer)  # ... or through the answer: half an argument list is not launched.
    serve --cut answer; run 1 irampart/
    has "$T" "NPP_URLNotify(\"$site/irampart/ret_objects\", 1 NPRES_NETWORK_ERR)"
    has "$T" "exchange failed"
    has "$P" "stream ended early; not acted on"
    not_launched 1 ;;
unreachable)  # No such page, then no server: the stand-in says so, no instance.
    serve; run 1 inosuch/
    has "$T" "could not be opened: HTTP/1.0 404"
    lacks "$T" "NPP_New"
    stop_server; run 1 irampart/
    has "$T" "could not be opened: cannot connect to 127.0.0.1:$port"
    lacks "$T" "NPP_New" ;;
hostile)  # Servers that hang, trickle, loop or abort to javascript:, and bad
    # command lines: each failure names its cause, and --timeout bounds the
    # whole answer.
    python3 "$(dirname "$0")/hostile_server.py" "$WORK/hostile.port" &
    server_pid=$!
    wait_for_file "$WORK/hostile.port" 10 || { fail "the hostile server did not start"; exit 1; }
    site=http://127.0.0.1:$(cat "$WORK/hostile.port")
    install --trusted "$site"
    for page in silent slowhead trickle; do
        start=$(date +%s); run 1 $page/ --timeout 2; took=$(($(date +%s) - start))
        [ "$took" -le 8 ] || fail "--timeout 2 on the $page server took $took s"
        case $page in
        silent | slowhead) has "$T" "could not be opened: no answer from the server within 2 s" ;;
        trickle) has "$T" "could not be opened: the answer was not complete within 2 s" ;;
        esac
    done
    run 1 loop/; has "$T" "more than 5 redirects; the last to $site/loop/"
    run 1 js/  # a page closed by the server, a chunked stream: both read whole
    has "$T" "answer: HTTP/1.1 200 OK, 26 bytes of application/x-velkor-versioning: \"ABORT;javascript:alert(1)\\n\""
    has "$P" "navigation refused: not an http or https address"  # with a list, not even asked
    has "$T" "FAILED: the plug-in asked for no page to go to"
    install --no-trusted; run 1 js/  # without one, the browser refuses it
    has "$T" "FAILED: the plug-in asked for \"javascript:alert(1)\" for _top, which this browser refused"
    lacks "$T" "asked for no page to go to"
    "$WINE_RUN" "$BIN/vkbrowse.exe" "$(winpath "$WORK/no such.dll")" "$site/js/" >"$WORK/missing" 2>&1
    [ $? = 2 ] || fail "a missing plug-in did not exit with 2"
    has "$WORK/missing" "no such.dll is missing"
    "$WINE_RUN" "$BIN/vkbrowse.exe" --chunk 0 x.dll "$site/js/" >"$WORK/chunk" 2>&1
    [ $? = 2 ] || fail "--chunk 0 did not exit with 2"
    has "$WORK/chunk" 'vkbrowse: --chunk takes a number from 1 to 16777216, not "0"'
    "$WINE_RUN" "$BIN/vkbrowse.exe" --proxy 127.0.0.1:8o x.dll "$site/js/" >"$WORK/proxy" 2>&1
    [ $? = 2 ] || fail "--proxy 127.0.0.1:8o did not exit with 2"
    has "$WORK/proxy" 'vkbrowse: --proxy takes HOST:PORT or none, not "127.0.0.1:8o"' ;;
untrusted)  # Pages from a second server on another port, which the list does
    # not name, get nothing done: no file read, nothing posted, nothing
    # started, not even by a launch command; the listed server still does.
    serve; listed=$site listed_pid=$server_pid
    for command in manifest launch-now; do
        start_server "$command" $([ $command = manifest ] || echo --command $command) || exit 1
        site=http://127.0.0.1:$port
        run 1 irampart/
        has "$T" "NPP_NewStream refused stream 1"
        has "$P" "trusted servers: $listed"
        has "$P" "stream from $site refused: not a trusted server"
        lacks "$P" "Awake, about to map file"
        lacks "$P" "NPP_Write"
        has "$WORK/$command.server.log" "GET /irampart/manifest.velkor"
        lacks "$WORK/$command.server.log" "POST"
        stop_server
        not_launched 1
    done
    server_pid=$listed_pid site=$listed
    run 0 irampart/
    launched "-game irampart -server 127.0.0.1:7000 -ticket RR-0001" ;;
attacker)  # Another site's pages embed the trusted server's content. Sent
    # with the page as Referer, the server refuses them. A page that asks
    # for no Referer gets the exchange run, directly or through a
    # redirect, but every page the player is sent to is the trusted
    # server's, and the attacker hears nothing after the embed; an HTML
    # page of the trusted server taken for content is refused.
    serve
    python3 "$(dirname "$0")/attacker_server.py" "$WORK/evil.port" "$WORK/evil.log" "$site" &
    listed_pid=$!
    wait_for_file "$WORK/evil.port" 10 || { fail "the attacker's server did not start"; exit 1; }
    evil=http://127.0.0.1:$(cat "$WORK/evil.port")
    trusted=$site
    site=$evil
    run 1 referer.html
    has "$S" "refused: Referer '$evil/referer.html' names another site than the Host '127.0.0.1:$port'"
    has "$T" "GET $trusted/irampart/manifest.velkor answered HTTP/1.0 403 Forbidden"
    lacks "$T" "NPP_NewStream("
    for page in embed redirect; do
        : >"$WORK/evil.log"
        run 0 $page.html; cp "$T" "$WORK/$page.transcript"
        has "$T" "the page asks for no Referer on its requests"
        has "$T" "navigation: _top -> $trusted/irampart/index.html"
        lacks "$T" "navigation: _top -> $evil"
        has "$T" "NPN_PostURLNotify(\"$trusted/irampart/ret_objects\""
        has "$P" "Calling NPN_GetURL"
        launched "-game irampart -server 127.0.0.1:7000 -ticket RR-0001"
        rm -f "$L"
        # The page, and for the redirect its hop to the manifest: nothing after.
        want="GET /$page.html Referer=None"
        [ $page = redirect ] && want="$want
GET /to-manifest Referer=None"
        [ "$(cat "$WORK/evil.log")" = "$want" ] ||
            fail "the attacker's server heard more than the embed: $(cat "$WORK/evil.log")"
    done
    has "$WORK/redirect.transcript" "redirected to $trusted/irampart/manifest.velkor"
    run 1 html.html
    has "$P" "stream refused: its type is 'text/html', not application/x-velkor-versioning"
    lacks "$P" "NPP_Write"
    has "$T" "navigation: none"
    not_launched 1 ;;
other-view)  # A list written only in the registry view of the other width
    # (on 64-bit Windows, operators' usual place: the 64-bit view) is read
    # and applied, and the log says where it came from.
    serve; install --no-trusted
    other=$((96 - bits))
    "$WINE_RUN" reg add 'HKLM\Software\Velkor Games Online\Versioning Plug-in' /v TrustedServers \
        /t REG_SZ /d "$site" /reg:$other /f >/dev/null 2>&1 || fail "reg add in the $other-bit view failed"
    run 0 irampart/
    has "$P" "trusted servers: $site ($other-bit registry view)"
    launched "-game irampart -server 127.0.0.1:7000 -ticket RR-0001"
    listed=$site listed_pid=$server_pid
    start_server second || exit 1
    site=http://127.0.0.1:$port; run 1 irampart/
    has "$P" "stream from $site refused: not a trusted server"
    stop_server; server_pid=$listed_pid
    install --no-trusted ;;
two-pages)  # A second page opened while the first waits for its answer:
    # each instance finishes its own check (Rampart launches and goes to
    # its index.html, Duskfall to its update.html), and the second's
    # creation adds to the log rather than starting it anew.
    serve; run 0 irampart/ --second "$site/iduskfall/"
    has "$T" "a second page, while the first is at work: $site/iduskfall/"
    has "$T" "navigation: _top -> $site/irampart/index.html"
    has "$T" "navigation: _self -> $site/iduskfall/update.html"
    has "$P" "Awake -- buffer is 'REDIRECT;update.html'"
    [ "$(grep -c '^Log file open at' "$P")" = 2 ] || fail "the log does not hold both instances' first lines"
    [ "$(grep -c 'NPP_DestroyStream called; reason = 0, state = 1' "$P")" = 2 ] ||
        fail "not both answers were taken as answers"
    launched "-game irampart -server 127.0.0.1:7000 -ticket RR-0001" ;;
open)  # Without the list the plug-in acts for any page, as it always did,
    # and says so; the browser resolves the report's address against the page.
    serve; install --no-trusted; run 0 irampart/
    has "$P" "no trusted servers set; streams from any server are acted on"
    has "$T" "NPN_PostURLNotify(\"ret_objects\""
    has "$T" "NPP_URLNotify(\"$site/irampart/ret_objects\", 0 NPRES_DONE)"
    launched "-game irampart -server 127.0.0.1:7000 -ticket RR-0001" ;;
nginx)  # The reference server behind nginx, over HTTPS with a certificate
    # made now and over plain HTTP, and behind tinyproxy: the same exchanges
    # as with the server itself, told alike; the certificate refused unless
    # --insecure, and nothing posted then.
    . "$(dirname "$0")/front_servers.sh"
    trap 'stop_server; stop_front' EXIT
    serve; direct=$site
    set -- $(free_ports 3); tls=$1 plain=$2 proxy=$3
    # Every origin the browser is sent to here, trusted alike.
    install --trusted "https://127.0.0.1:$tls http://127.0.0.1:$plain $direct"
    make_certificate || { fail "openssl made no certificate: $(cat "$WORK/openssl.log")"; exit 1; }
    start_nginx "$tls" "$plain" || fail "nginx did not start: $(cat "$WORK/nginx/error.log")"
    start_tinyproxy "$proxy" "$tls" || fail "tinyproxy did not start: $(cat "$WORK/tinyproxy.log")"
    site=https://127.0.0.1:$tls; run 1 irampart/
    has "$T" "could not be opened: the server's certificate is from an unknown authority (--insecure accepts it)"
    lacks "$T" "NPP_New"
    lacks "$S" "POST /"
    for game in irampart iduskfall; do  # Rampart through its redirect; Duskfall ends at update.html
        site=$direct; run 0 $game --follow-self; cp "$T" "$WORK/$game.direct"
        site=http://127.0.0.1:$plain; run 0 $game --follow-self; cp "$T" "$WORK/$game.http"
        site=https://127.0.0.1:$tls; run 0 $game --follow-self --insecure; cp "$T" "$WORK/$game.https"
        same_transcript "$WORK/$game.direct" "$WORK/$game.http"
        same_transcript "$WORK/$game.direct" "$WORK/$game.https"
    done
    has "$WORK/iduskfall.https" "--insecure: server certificates are accepted without being checked"
    has "$WORK/iduskfall.https" "navigation: _self -> https://127.0.0.1:$tls/iduskfall/update.html"
    has "$WORK/nginx/access.log" '"POST /irampart/ret_objects HTTP/1.1" 200'
    launched "-game irampart -server 127.0.0.1:7000 -ticket RR-0001"
    # The proxy by another name than the server's host: Wine's WinHTTP takes
    # a proxy named like the server for no proxy at all.
    run 0 irampart --follow-self --insecure --proxy localhost:$proxy; cp "$T" "$WORK/irampart.proxy"
    same_transcript "$WORK/irampart.direct" "$WORK/irampart.proxy"
    has "$WORK/tinyproxy.log" "CONNECT 127.0.0.1:$tls" ;;
certificates)  # A chain from a CA of the test's own, which this Wine alone
    # trusts, through nginx with HTTP/2 on as operators set it: the whole
    # chain completes without --insecure; each mistake an operator can make
    # with it is named, nothing is posted, and the refused server is sent no
    # request at all.
    . "$(dirname "$0")/front_servers.sh"
    . "$(dirname "$0")/test_ca.sh"
    trap 'stop_server; stop_front' EXIT
    make_test_ca "$WORK/ca" || { fail "openssl made no test CA: $(tail -5 "$WORK/ca/openssl.log")"; exit 1; }
    trusting_wine "$WORK/ca/root.pem" || skip "$untrusting"
    serve
    # case|certificate and key|what nginx sends after it|the reason named
    cases="good|good|intermediate|
other|other|intermediate|is for another name (--insecure accepts it)
expired|expired|intermediate|has expired or is not yet valid (--insecure accepts it)
unknown|unknown|stranger|is from an unknown authority (--insecure accepts it)
missing|good||does not link to a trusted authority: the server may not be sending its intermediate certificates, or its authority is unknown (--insecure accepts it)
selfsigned|selfsigned||is from an unknown authority (--insecure accepts it)"
    set -- $(free_ports 6)
    servers= ports="$*"
    while IFS='|' read -r which pem chain reason; do
        cat "$WORK/ca/$pem.pem" ${chain:+"$WORK/ca/$chain.pem"} >"$WORK/ca/$which.sent"
        eval "port_$which=$1"
        servers="$servers
    server {
        listen 127.0.0.1:$1 ssl http2;
        access_log $WORK/nginx/$which.log;
        ssl_certificate $WORK/ca/$which.sent;
        ssl_certificate_key $WORK/ca/$pem.key;
        $(to_server)
    }"
        shift
    done <<CASES
$cases
CASES
    run_nginx "$servers" $ports || fail "nginx did not start: $(cat "$WORK/nginx/error.log")"
    install --trusted "https://localhost:$port_good"
    while IFS='|' read -r which pem chain reason; do
        [ "$which" = good ] && continue
        site=https://localhost:$(eval echo "\$port_$which"); run 1 irampart/ </dev/null; cp "$T" "$WORK/$which.transcript"
        has "$T" "could not be opened: the server's certificate $reason"
        lacks "$T" "NPP_New"
        log=$WORK/nginx/$which.log  # made by nginx as it starts
        [ -e "$log" ] && [ ! -s "$log" ] || fail "the $which server was sent: $(cat "$log" 2>&1)"
    done <<CASES
$cases
CASES
    lacks "$S" "POST /"
    site=https://localhost:$port_good; run 0 irampart/
    lacks "$T" "--insecure"
    has "$T" "NPN_PostURLNotify(\"$site/irampart/ret_objects\""
    has "$WORK/nginx/good.log" '"POST /irampart/ret_objects HTTP/1.1" 200'
    launched "-game irampart -server 127.0.0.1:7000 -ticket RR-0001" ;;
*) echo "unknown scenario $scenario" >&2; exit 2 ;;
esac

finish "$scenario" "$T" "$P" "$S" "$WORK/missing" "$WORK/nginx/error.log"
