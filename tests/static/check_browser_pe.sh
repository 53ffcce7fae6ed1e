#!/bin/sh
# check_browser_pe.sh FILE
# The shipped browser stand-in: a 32-bit console program for Windows 4.0
# that imports nothing but Windows' own DLLs (Winsock and the version
# resource reader among them).
set -u
file=$1
headers=$(i686-w64-mingw32-objdump -p "$file") || exit 1
fail=0
echo "$headers" | grep -q "file format pei-i386" || { echo "not pei-i386"; fail=1; }
echo "$headers" | grep -Eq '^MajorSubsystemVersion[[:space:]]+4$' || { echo "subsystem major is not 4"; fail=1; }
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+0*3[[:space:]]' || { echo "not a console program"; fail=1; }
imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
echo "imports: $(echo $imports)"
for dll in $imports; do
    echo "$dll" | grep -Eq '^(kernel32|user32|msvcrt|version|ws2_32)\.dll$' || { echo "imports a non-system DLL: $dll"; fail=1; }
done
exit $fail
