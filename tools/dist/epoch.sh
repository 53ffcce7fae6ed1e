#!/bin/sh
# Prints the time, in seconds since 1970, that dates every shipped file:
# SOURCE_DATE_EPOCH when set, else the time of the source tree's last
# commit, else (sources without their history) 1980-01-01, the earliest a
# zip entry can carry.
top=$(cd "$(dirname "$0")/../.." && pwd -P)
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    case $SOURCE_DATE_EPOCH in
    *[!0-9]*) echo "SOURCE_DATE_EPOCH \"$SOURCE_DATE_EPOCH\" is not a number of seconds" >&2; exit 1 ;;
    esac
    echo "$SOURCE_DATE_EPOCH"
elif [ "$(git -C "$top" rev-parse --show-toplevel 2>/dev/null)" = "$top" ]; then
    git -C "$top" log -1 --format=%ct
else
    echo 315532800
fi
