#!/bin/sh
# testbed.sh up|down DIR LOADER [HOLDER]
# up: a fresh Wine prefix in DIR/prefix, an Xvfb screen at 96 DPI, one
# persistent wineserver for it and HOLDER, a program that keeps the Wine
# desktop open until down. Xvfb comes first because Wine binds to the X
# display when its server starts. down: stops both.
set -u
action=$1 dir=$(realpath -m "$2") loader=$3
wineserver=$(dirname "$loader")/wineserver

export WINEPREFIX="$dir/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

stop() {
    if [ -d "$WINEPREFIX" ]; then
        "$wineserver" -k >/dev/null 2>&1
        "$wineserver" -w >/dev/null 2>&1
    fi
    if [ -f "$dir/xvfb.pid" ]; then
        kill "$(cat "$dir/xvfb.pid")" 2>/dev/null
        rm -f "$dir/xvfb.pid"
    fi
}

case $action in
down)
    stop
    exit 0
    ;;
up)
    stop
    rm -rf "$dir"
    mkdir -p "$dir"
    n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    setsid Xvfb ":$n" -screen 0 1024x768x24 -dpi 96 -nolisten tcp </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/xvfb.pid"
    tries=0
    until [ -e "/tmp/.X11-unix/X$n" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ]; then
            echo "Xvfb :$n did not start" >&2
            exit 1
        fi
        sleep 0.1
    done
    echo ":$n" >"$dir/display"
    export DISPLAY=":$n"
    # The server's standard streams go nowhere, or ctest would wait for it.
    # It refuses to start before the prefix directory exists; the loader would
    # then start a server of its own that stops with the last program.
    mkdir -p "$WINEPREFIX"
    if ! "$wineserver" -p </dev/null >/dev/null 2>"$dir/wineserver.log"; then
        echo "wineserver did not start; see $dir/wineserver.log" >&2
        exit 1
    fi
    if ! "$loader" wineboot -i </dev/null >"$dir/wineboot.log" 2>&1; then
        echo "wineboot failed; see $dir/wineboot.log" >&2
        exit 1
    fi
    # Wine's own fonts, so that dialogs get "MS Sans Serif" and its dialog
    # units rather than a fallback font from the host.
    cp "$(dirname "$loader")/../../share/wine/fonts/"* "$WINEPREFIX/drive_c/windows/Fonts/"
    # Windows framed by Wine itself: with no window manager on this screen a
    # managed window would wait two seconds for one each time it is hidden.
    "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # Between two tests Wine would close the desktop (one second after the
    # last program on it exits) and the next test's first window would wait
    # up to ten seconds for a new explorer.exe, itself waiting for RpcSs.
    if [ -n "${4:-}" ]; then
        setsid "$loader" "$4" </dev/null >/dev/null 2>&1 &
    fi
    echo "test bed ready: DISPLAY=:$n WINEPREFIX=$WINEPREFIX"
    ;;
*)
    echo "usage: testbed.sh up|down DIR LOADER" >&2
    exit 2
    ;;
esac
