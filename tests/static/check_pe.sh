#!/bin/sh
# check_pe.sh FILE FORMAT dll|exe
# A shipped binary must be 32-bit PE for Windows 4.0 and import nothing but
# Windows' own DLLs (no MinGW runtime beside it on a player's machine).
set -u
file=$1 format=$2 kind=$3
objdump=i686-w64-mingw32-objdump
fail=0
headers=$($objdump -p "$file") || exit 1

echo "$headers" | grep -q "file format $format" || { echo "not $format"; fail=1; }
echo "$headers" | grep -Eq '^MajorSubsystemVersion[[:space:]]+4$' || { echo "subsystem major is not 4"; fail=1; }
echo "$headers" | grep -Eq '^MinorSubsystemVersion[[:space:]]+0$' || { echo "subsystem minor is not 0"; fail=1; }
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' || { echo "not a Windows GUI subsystem"; fail=1; }
if [ "$kind" = dll ]; then
    echo "$headers" | grep -Eq '^Characteristics.*' && echo "$headers" | grep -q 'DLL' || { echo "not a DLL"; fail=1; }
fi

allowed='^(kernel32|user32|gdi32|advapi32|comctl32|shell32|msvcrt|ole32)\.dll$'
imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
echo "imports: $(echo $imports)"
for dll in $imports; do
    echo "$dll" | grep -Eq "$allowed" || { echo "imports a non-system DLL: $dll"; fail=1; }
done
exit $fail
