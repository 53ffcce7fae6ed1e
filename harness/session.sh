# Shell pieces shared by the demo and the tests: the reference server in the
# background, and the browser stand-in in a Wine prefix. Callers set: vk_top
# (the checkout), WINE_RUN (runs a Windows program in the prefix), BIN (a
# build's bin directory), WORK (a scratch directory of their own).

# A Linux path as Wine sees it, on its Z: drive.
winpath() {
    printf 'Z:%s' "$(realpath -m "$1")"
}

# start_server NAME [vkserver switches...]: starts vkserver on a free
# loopback port; sets server_pid and port. The log goes to $WORK/NAME.server.log.
start_server() {
    name=$1
    shift
    rm -f "$WORK/$name.port"
    python3 "$vk_top/tools/server/vkserver.py" --port 0 --port-file "$WORK/$name.port" \
        --log "$WORK/$name.server.log" "$@" 2>/dev/null &
    server_pid=$!
    tries=0
    until [ -s "$WORK/$name.port" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 "$server_pid" 2>/dev/null; then
            echo "vkserver did not start; see $WORK/$name.server.log" >&2
            return 1
        fi
        sleep 0.05
    done
    port=$(cat "$WORK/$name.port")
}

stop_server() {
    if [ -n "${server_pid:-}" ]; then
        kill "$server_pid" 2>/dev/null
        wait "$server_pid" 2>/dev/null
        server_pid=
    fi
}

# browse NAME URL [vkbrowse options...]: runs the stand-in on the plug-in
# of the same build; the transcript goes to $WORK/NAME.transcript.
# Returns the stand-in's exit status.
browse() {
    name=$1 url=$2
    shift 2
    "$WINE_RUN" "$BIN/vkbrowse.exe" "$@" "$(winpath "$BIN/NPvkchk.dll")" "$url" \
        >"$WORK/$name.transcript" 2>&1
}

# wait_for_file FILE SECONDS: a started program writes its record on its own
# time; the plug-in does not wait for it.
wait_for_file() {
    n=0
    until [ -s "$1" ]; do
        n=$((n + 1))
        [ $n -gt $(($2 * 20)) ] && return 1
        sleep 0.05
    done
}
