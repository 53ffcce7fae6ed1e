#!/bin/sh
# check_pe.sh FILE EXPECTED SITE
# What Windows sees of a shipped file, as text (kept in ./FILE.facts), against
# EXPECTED: PE32 for Windows 4.0, imports from Windows' own DLLs only (no MinGW
# runtime is installed beside it), exports with ordinals and stack cleanup, no
# debug information but a link to it, and the resources, decompiled, with the
# configurable SITE address as @SITE@.
set -u
. "$(dirname "$0")/../support/check.sh"
file=$1 expected=$2 site=$3 facts=$(basename "$1").facts
ok='^(kernel32|user32|gdi32|advapi32|comctl32|shell32|msvcrt|ole32|version|winhttp|shlwapi|crypt32|secur32|ws2_32)\.dll$'
{
    i686-w64-mingw32-objdump -p "$file" | awk -v ok="$ok" '
        /file format/ { print "format", $NF }
        /^(Magic|Subsystem)\t/ || /^\tDLL$/
        /^MajorSubsystemVersion/ { major = $2 }
        /^MinorSubsystemVersion/ { print "subsystem version", major "." $2 }
        /DLL Name:/ && tolower($3) !~ ok { print "imports a non-system DLL:", $3 }
        /^Ordinal Base/ { base = $3 }
        /^\[Ordinal\/Name Pointer\]/ { names = 1; next }
        names && /^\t\[/ { gsub(/\[|\]/, " "); print "export @" base + $1, $2; next }
        { names = 0 }'
    # WINAPI: the callee takes its arguments off the stack (ret $N). The
    # shipped file has no symbols, so each export is read from its address
    # to its first return.
    i686-w64-mingw32-objdump -p "$file" | awk '
        /^ImageBase/ { base = $2 }
        /Export RVA$/ { gsub(/\[|\]/, " "); print $3, base, $4 }' |
    while read -r ordinal base rva; do
        address=$((0x$base + 0x$rva))
        i686-w64-mingw32-objdump -d --start-address=$address --stop-address=$((address + 512)) "$file" |
            awk -v o="$ordinal" '/\tret/ { sub(/.*\t/, ""); print "export @" o " returns with", $0; exit }'
    done
    # Shipped stripped, naming the debug file the build keeps beside it.
    i686-w64-mingw32-objdump -h "$file" | awk '
        $2 ~ /^\.debug/ { print "carries debug section", $2 }
        $2 == ".gnu_debuglink" { print "has a debug link" }'
    # Resources without comments, BEGIN and END; of binary data only the first line.
    i686-w64-mingw32-windres -J coff -O rc -i "$file" 2>/dev/null | awk '
        /\/\*/ && !/\*\// { comment = 1 } comment { comment = !/\*\//; next }
        { sub(/[ \t]*\/\*.*\*\//, "") }
        /^ *0x/ && data++ { next } /^ *(BEGIN|END)$/ { data = 0; next }
        NF'
} | tr -s ' \t' '  ' | sed "s|$site|@SITE@|g" | fold -s -w 96 | sed "s/ *$//" >"$facts"
diff -u "$expected" "$facts" || fail "$file is not as $(basename "$expected") says"
finish "$file"
