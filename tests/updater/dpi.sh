#!/bin/sh
# dpi.sh LOADER HOLDER TESTS WORK [BITS]
# The updater's dialogs as players with other screens see them: at 120 DPI
# (Windows' "Large fonts"), at 144 DPI, and at 96 DPI in a prefix without
# Wine's own fonts, where dialogs get a fallback font. Each in a prefix and
# screen of its own (WORK/NAME/bed), where the program test TESTS checks
# that every dialog shows whole; its screenshots go to WORK/NAME/. The lane
# runs the same check at 96 DPI with Wine's fonts.
set -u
loader=$1 holder=$2 tests=$3 work=$(realpath -m "$4") bits=${5:-32}
. "$(dirname "$0")/../support/check.sh"
rm -rf "$work" && mkdir -p "$work"
trap 'bed_down "$bed" "$loader"' EXIT
for name in 120dpi 144dpi 96dpi-fallback-font; do
    dpi=${name%%dpi*} bed=$work/$name/bed
    bed_up "$bed" "$loader" "$holder" "$bits"
    # Wine reads the user's LogPixels and, without it, the machine's; its own
    # configuration sets both. A program started from now on sees this DPI.
    for key in 'HKCU\Control Panel\Desktop' \
               'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
        "$bed/wine-run" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    done
    case $name in *fallback*) rm -f "$bed/prefix/drive_c/windows/Fonts/"* ;; esac
    echo "== $name"
    VELKOR_EXPECTED_DPI=$dpi VELKOR_SCREENSHOT_DIR=$work/$name \
        "$bed/wine-run" "$tests" --test-case='*at the screen*' || fail "$name: a dialog is not whole"
    bed_down "$bed" "$loader"
    rm -rf "$bed/prefix"  # a gigabyte each; the screenshots stay
done
finish dpi
