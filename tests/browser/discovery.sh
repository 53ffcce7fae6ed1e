#!/bin/sh
# discovery.sh WINE_RUN DRIVE_C BITS BIN LIBS WORK
# vkbrowse.exe without a library on its command line: it takes the page's
# type and looks for the library in the Plugins folder beside itself, then
# in the MozillaPlugins registrations of the user and of the machine (in
# the registry view of its own width). LIBS holds npother.dll (other types)
# and npbare.dll (no version resource).
set -u
WINE_RUN=$1 drive=$2 bits=$3 BIN=$4 libs=$5 WORK=$6
"$WINE_RUN" --ready || exit  # this machine may not run the lane at all
. "$(dirname "$0")/../support/check.sh"
rm -rf "$WORK" && mkdir -p "$WORK"
reg() { "$WINE_RUN" reg "$@" "/reg:$bits" >/dev/null 2>&1; }
registrations() {
    reg delete 'HKCU\Software\MozillaPlugins' /f
    reg delete 'HKLM\Software\MozillaPlugins' /f
}
pages_pid=
cleanup() {
    stop_server
    [ -n "$pages_pid" ] && kill "$pages_pid" 2>/dev/null
    registrations
}
trap cleanup EXIT
T=$WORK/transcript
view="($bits-bit view)"
type='"application/x-velkor-versioning"'
run() {  # run STATUS PROGRAM ARGUMENTS...
    want=$1 && shift
    "$WINE_RUN" "$@" >"$T" 2>&1
    exited $? "$want" "$*"
}

start_server discovery || exit 1
site=http://127.0.0.1:$port
sh "$vk_top/tools/sample/install.sh" --trusted "$site" "$WINE_RUN" "$drive" "$BIN/vkstandin.exe" \
    "$bits" || exit 1
# A page of a type no library serves, from a plain server.
mkdir -p "$WORK/pages"
echo '<html><body><embed src="x.nobody" type="application/x-nobody"></body></html>' >"$WORK/pages/nobody.html"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$WORK/pages" >"$WORK/pages.log" 2>&1 &
pages_pid=$!
wait_for_file "$WORK/pages.log" 10 || { fail "the page server did not start"; exit 1; }
pages=http://127.0.0.1:$(sed -n 's/^Serving HTTP on .* port \([0-9]*\) .*/\1/p' "$WORK/pages.log")
registrations

# A copy of the stand-in with a Plugins folder beside it.
app=$WORK/app plugins=$WORK/app/Plugins
mkdir -p "$plugins"
cp "$BIN/vkbrowse.exe" "$app/"
cp "$libs/npother.dll" "$libs/npbare.dll" "$plugins/"
W=$(winpath "$plugins" | tr / '\\')

# 1. The folder's libraries in name order: two passed over, each with its
# reason, then ours.
cp "$BIN/NPvkchk.dll" "$plugins/"
run 0 "$app/vkbrowse.exe" "$site/irampart/"
has "$T" "passed over: $W\\npbare.dll has no version resource"
has "$T" "passed over $W\\npother.dll: it serves \"application/x-other|application/x-velkor-versioning-old\""
has "$T" "plug-in for $type: $W\\NPvkchk.dll, found in the Plugins folder beside this program"
has "$T" "exchange complete"

# 2. None of them serves the type, and nothing is registered: no instance,
# no content fetched, and every place looked in named.
rm "$plugins/NPvkchk.dll"
run 2 "$app/vkbrowse.exe" "$site/irampart/"
has "$T" "no plug-in serves $type; looked in: $W: 2 NP*.DLLs; HKEY_CURRENT_USER\\Software\\MozillaPlugins $view: no such key; HKEY_LOCAL_MACHINE\\Software\\MozillaPlugins $view: no such key"
lacks "$T" "NP_Initialize"
lacks "$T" "GET $site/irampart/manifest.velkor"

# 3. Registrations: the user's first, a Path that names a folder or the
# library itself, one without a Path. Here the user's folder has only
# libraries of other types, and the machine's folder has ours.
mkdir -p "$WORK/user" "$WORK/machine" "$WORK/own"
cp "$libs/npother.dll" "$libs/npbare.dll" "$WORK/user/"
cp "$BIN/NPvkchk.dll" "$WORK/machine/"
cp "$BIN/NPvkchk.dll" "$WORK/own/NPvkchk.dll"
reg add 'HKCU\Software\MozillaPlugins\@example.com/other' /v Path /d "$(winpath "$WORK/user")\\" /f
reg add 'HKLM\Software\MozillaPlugins\@example.com/broken' /v Vendor /d Nobody /f
reg add 'HKLM\Software\MozillaPlugins\@example.com/vkchk' /v Path /d "$(winpath "$WORK/machine")" /f
run 0 "$BIN/vkbrowse.exe" "$site/irampart/"
has "$T" "passed over: $(winpath "$WORK/user")\\npbare.dll has no version resource"
has "$T" "passed over HKEY_LOCAL_MACHINE\\Software\\MozillaPlugins\\@example.com/broken: it has no Path string"
has "$T" "plug-in for $type: $(winpath "$WORK/machine")\\NPvkchk.dll, found through the registration HKEY_LOCAL_MACHINE\\Software\\MozillaPlugins\\@example.com/vkchk $view, whose Path names its folder"
has "$T" "exchange complete"

# 4. A user's registration naming the library wins over the machine's; the
# Plugins folder beside the program comes before both.
reg add 'HKCU\Software\MozillaPlugins\@example.com/vkchk' /v Path /d "$(winpath "$WORK/own/NPvkchk.dll")" /f
run 0 "$BIN/vkbrowse.exe" "$site/irampart/"
has "$T" "plug-in for $type: $(winpath "$WORK/own/NPvkchk.dll"), found through the registration HKEY_CURRENT_USER\\Software\\MozillaPlugins\\@example.com/vkchk $view"
cp "$BIN/NPvkchk.dll" "$plugins/"
run 0 "$app/vkbrowse.exe" "$site/irampart/"
has "$T" "found in the Plugins folder beside this program"
lacks "$T" "MozillaPlugins"

# 5. A page whose type no library serves, with all of them in place.
run 2 "$app/vkbrowse.exe" "$pages/nobody.html"
has "$T" "no plug-in serves \"application/x-nobody\"; looked in: $W: 3 NP*.DLLs; HKEY_CURRENT_USER\\Software\\MozillaPlugins $view: 2 registrations; HKEY_LOCAL_MACHINE\\Software\\MozillaPlugins $view: 2 registrations"
lacks "$T" "NP_Initialize"

# 6. A library named on the command line is taken as it stands.
run 0 "$BIN/vkbrowse.exe" "$(winpath "$BIN/NPvkchk.dll")" "$site/irampart/"
lacks "$T" "looking for a plug-in"

finish discovery "$T"
