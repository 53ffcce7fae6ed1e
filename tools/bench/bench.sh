#!/bin/sh
# bench.sh CPU: plugin_bench on the shipped i686 build, medians of
# $BENCH_RUNS runs (default 5), in a test bed of its own under build/bench,
# over files made once in build/bench-files. The wineserver and the bench
# share one CPU: across two, Wine's timings swing by several times.
set -eu
cpu=$1
files=build/bench-files
python3 tools/bench/bench_files.py "$files" 20000
# Z: is the root of this machine in every Wine prefix.
windows() { printf 'Z:%s' "$(realpath "$1")" | tr / '\\'; }
taskset -c "$cpu" sh cmake/testbed.sh up build/bench /usr/lib/wine/wine64 \
    build/i686/bin/vkholddesktop.exe 32 >/dev/null
status=0
taskset -c "$cpu" build/bench/wine-run build/i686/tools/bench/plugin_bench.exe \
    "$(windows build/i686/bin/NPvkchk.dll)" "$(windows "$files")" "${BENCH_RUNS:-5}" || status=$?
sh cmake/testbed.sh down build/bench /usr/lib/wine/wine64
exit $status
