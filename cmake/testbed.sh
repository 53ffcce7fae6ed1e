#!/bin/sh
# testbed.sh up|down DIR LOADER [HOLDER [BITS]]
# up: a fresh Wine prefix in DIR/prefix, an Xvfb screen at 96 DPI, one
# persistent wineserver for it and HOLDER, a program that keeps the Wine
# desktop open until down. Xvfb comes first because Wine binds to the X
# display when its server starts. It writes DIR/wine-run, which runs a
# Windows program in that prefix, on that screen: the one Wine environment
# of the tests, the demo, the bench and the standing sample.
# HOLDER is first started as a probe of BITS-bit programs (default 64). A
# machine whose kernel refuses 32-bit programs cannot run a 32-bit lane: up
# then says so (also in DIR/skipped), and DIR/wine-run answers every call
# with that reason and the skip status 77.
# down: stops both.
set -u
action=$1 dir=$(realpath -m "$2") loader=$3 holder=${4:-} bits=${5:-64}
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

# write_runner REASON: DIR/wine-run; with a reason, one that only skips.
write_runner() {
    if [ -n "$1" ]; then
        cat >"$dir/wine-run" <<RUN
#!/bin/sh
# This machine cannot run the lane's programs: every test of it is skipped.
echo "skipped: $1"
exit 77
RUN
    else
        cat >"$dir/wine-run" <<RUN
#!/bin/sh
# Runs a Windows program in the prefix of testbed.sh, on its screen. No Mono
# or Gecko installers, and no debugger: a crashing program fails at once
# instead of hanging in winedbg. "wine-run --ready" only answers 0.
[ "\${1:-}" = --ready ] && exit 0
DISPLAY=$DISPLAY WINEPREFIX=$WINEPREFIX WINEDEBUG=$WINEDEBUG \\
WINEDLLOVERRIDES="$WINEDLLOVERRIDES" exec $loader "\$@"
RUN
    fi
    chmod +x "$dir/wine-run"
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
    # Another bed starting at the same moment may pick the same free number:
    # the screen is ours only when our Xvfb holds its lock, else try the next.
    n=90
    while :; do
        while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
        setsid Xvfb ":$n" -screen 0 1024x768x24 -dpi 96 -nolisten tcp </dev/null >/dev/null 2>&1 &
        xvfb=$!
        tries=0
        until [ -e "/tmp/.X11-unix/X$n" ] || ! kill -0 $xvfb 2>/dev/null; do
            tries=$((tries + 1))
            if [ $tries -gt 100 ]; then
                echo "Xvfb :$n did not start" >&2
                exit 1
            fi
            sleep 0.1
        done
        if kill -0 $xvfb 2>/dev/null && [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = $xvfb ]; then
            break
        fi
        kill $xvfb 2>/dev/null
        n=$((n + 1))
    done
    echo $xvfb >"$dir/xvfb.pid"
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
    write_runner ""
    [ -n "$holder" ] || { echo "test bed ready: $dir/wine-run"; exit 0; }
    if ! "$loader" "$holder" --probe </dev/null >"$dir/probe.log" 2>&1; then
        # Wine hands a 32-bit program to its 32-bit loader, an i386 ELF file.
        loader32=$(dirname "$loader")/wine
        if [ "$bits" = 32 ] && [ -x "$loader32" ] && ! "$loader32" --version >/dev/null 2>&1; then
            reason="this machine's kernel does not run 32-bit programs ($loader32 cannot start); see docs/testing.md, The Wine test bed"
            write_runner "$reason"
            echo "$reason" >"$dir/skipped"
            stop
            echo "skipped: $reason"
            exit 77
        fi
        echo "the probe $holder did not run; see $dir/probe.log" >&2
        exit 1
    fi
    # Between two tests Wine would close the desktop (one second after the
    # last program on it exits) and the next test's first window would wait
    # up to ten seconds for a new explorer.exe, itself waiting for RpcSs.
    setsid "$loader" "$holder" </dev/null >/dev/null 2>&1 &
    echo "test bed ready: $dir/wine-run"
    ;;
*)
    echo "usage: testbed.sh up|down DIR LOADER [HOLDER [BITS]]" >&2
    exit 2
    ;;
esac
