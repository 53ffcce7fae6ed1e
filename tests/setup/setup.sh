#!/bin/sh
# setup.sh LOADER BIN SETUP WORK [BITS]
# The setup program from nothing to a completed exchange and back, in a Wine
# prefix of its own (WORK/bed) with the sample installation and the lane's
# programs of BITS bits (32, the default, as shipped, or 64): a silent
# install, the browser stand-in finding the plug-in through its
# registration, the installed updater's pass, installs over it, refused
# switches, and the uninstaller. What the setup wrote is read from the
# difference of the whole C: drive and registry before and after it
# ($WORK/installed.diff); the uninstall must take away exactly that.
set -u
loader=$1 BIN=$2 setup=$3 WORK=$(realpath -m "$4") bits=${5:-32}
bed=$WORK/bed
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../support/check.sh"
rm -rf "$WORK" && mkdir -p "$WORK"
cleanup() {
    stop_server
    [ -n "${silent_pid:-}" ] && kill "$silent_pid" 2>/dev/null
    bed_down "$bed" "$loader"
}
trap cleanup EXIT
bed_up "$bed" "$loader" "$BIN/vkholddesktop.exe" "$bits"
WINE_RUN=$bed/wine-run drive=$bed/prefix/drive_c
wine() { "$WINE_RUN" "$@" 2>>"$WORK/wine.err" | tr -d '\r'; }  # its output; not its status

# Where a setup of this width puts its files and keys.
if [ "$bits" = 64 ]; then
    pf='Program Files' view='HKEY_LOCAL_MACHINE\Software'
else
    pf='Program Files (x86)' view='HKEY_LOCAL_MACHINE\Software\Wow6432Node'
fi
app="$pf/Velkor Games Online/Client"
dir="C:\\$pf\\Velkor Games Online\\Client"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VelkorGamesOnlineClient'
components_key='HKLM\Software\Velkor Games Online\Velkor System Components'

# snapshot NAME: the C: drive and HKLM\Software (both views) and HKCU\Software.
snapshot() {
    wine reg export 'HKLM\Software' "$(winpath "$WORK/$1.hklm.reg")" /reg:64 /y >/dev/null
    wine reg export 'HKCU\Software' "$(winpath "$WORK/$1.hkcu.reg")" /y >/dev/null
    python3 "$here/machine_state.py" save "$drive" "$WORK/$1.json" "$WORK/$1.hklm.reg" "$WORK/$1.hkcu.reg"
    rm -f "$WORK/$1.hklm.reg" "$WORK/$1.hkcu.reg"
}
changes() { python3 "$here/machine_state.py" diff "$WORK/$1.json" "$WORK/$2.json"; }
# install STATUS NAME [switches]: runs the setup; its output goes to WORK/NAME.out.
install() {
    want=$1 name=$2 && shift 2
    "$WINE_RUN" "$setup" "$@" >"$WORK/$name.out" 2>>"$WORK/wine.err"
    exited $? "$want" "setup $*"
}
# query ARGS: what reg query prints (a value, or its "unable to find").
# Under load Wine's reg.exe was seen to print nothing at all into a pipe,
# once in a few runs, for a value that snapshots before and after held; it
# writes into a file here, and a silent answer is asked again, noted in
# wine.err.
query() {
    for try in 1 2 3 4 5; do
        "$WINE_RUN" reg query "$@" >"$WORK/query.out" 2>>"$WORK/wine.err"
        status=$?
        [ -s "$WORK/query.out" ] && break
        echo "reg query $*: nothing printed, status $status (try $try)" >>"$WORK/wine.err"
        sleep 1
    done
    tr -d '\r' <"$WORK/query.out"
}
# value KEY NAME: a value in the setup's registry view, as reg query shows it.
value() { query "$1" /v "$2" /reg:$bits | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
entries() {  # the uninstall entries of ours, in the setup's view
    query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:$bits |
        grep -c '^ *DisplayName *REG_SZ *Velkor Games Online Client$'
}
uninstall_quietly() {  # the entry's own command line, waited for to its end
    quiet=$(value "$uninstall_key" QuietUninstallString)
    [ -n "$quiet" ] || { fail "no QuietUninstallString"; return; }
    "$WINE_RUN" "$BIN/vkrunjob.exe" "$quiet" >/dev/null 2>>"$WORK/wine.err"
    exited $? 0 "the uninstaller ($quiet)"
    # What NSIS left for the next restart (its copy in TEMP) is done now.
    wine wineboot -r >/dev/null
}

sh "$vk_top/tools/dist/build_setup.sh" "$BIN" www.velkorgames.com "$WORK/older" 1.0.0.0 >/dev/null || exit 1
older=$WORK/older/velkor-client-setup-1.0.0.0.exe
# The setup writes the trusted list itself, and its uninstaller takes it away.
sh "$vk_top/tools/sample/install.sh" --no-trusted "$WINE_RUN" "$drive" "$BIN/vkstandin.exe" "$bits" || exit 1
start_server server || exit 1
site=http://127.0.0.1:$port
snapshot before

# 1. Silent install trusting the reference server: files, keys, values.
install 0 first /S "/TRUSTED=$site"
snapshot installed
changes before installed >"$WORK/installed.diff"
for f in NPvkchk.dll vkupdate.exe; do
    cmp -s "$BIN/$f" "$drive/$app/$f" || fail "$app/$f is not the shipped $f"
done
grep -q "$(printf '\r')$" "$drive/$app/README.txt" || fail "README.txt lacks CR LF line ends"
has "$drive/$app/setup.log" "Trusted servers: $site"
has "$WORK/first.out" "Velkor Games Online Client"
lacks "$WORK/first.out" "not installed"
key='HKLM\Software\MozillaPlugins\@velkorgames.com/vkchk'
trust='HKLM\Software\Velkor Games Online\Versioning Plug-in'
while IFS='|' read -r k name want; do
    got=$(value "$k" "$name")
    [ "$got" = "$want" ] || fail "$k $name is \"$got\", expected \"$want\""
done <<EOF
$key|Path|$dir\NPvkchk.dll
$key|Description|Velkor Versioning
$key|ProductName|Velkor Versioning Plugin
$key|Vendor|Velkor Games Online
$key|Version|1.0.0.1
$trust|TrustedServers|$site
$uninstall_key|DisplayName|Velkor Games Online Client
$uninstall_key|DisplayVersion|1.0.0.1
$uninstall_key|Publisher|Velkor Games Online
$uninstall_key|InstallLocation|$dir
$uninstall_key|UninstallString|"$dir\uninstall.exe"
$uninstall_key|QuietUninstallString|"$dir\uninstall.exe" /S
$uninstall_key|NoModify|0x1
$uninstall_key|NoRepair|0x1
EOF
size=$(value "$uninstall_key" EstimatedSize)
kb=$(( ($(cat "$drive/$app/"* | wc -c) + 1023) / 1024 ))
[ $((size)) -ge $((kb - 4)) ] && [ $((size)) -le $((kb + 4)) ] || fail "EstimatedSize $size, files $kb KB"
# Everything in the setup's view; nothing outside its own keys and folder.
grep -v -F -e "+ file $app/" -e "+ dir  $pf/Velkor Games Online" \
    -e "$view\\MozillaPlugins" -e "$view\\Velkor Games Online\\Versioning Plug-in" \
    -e "$view\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelkorGamesOnlineClient" \
    "$WORK/installed.diff" >"$WORK/unexpected.diff" && fail "the setup changed more: $(cat "$WORK/unexpected.diff")"

# 2. The stand-in without a library finds the installed plug-in through its
# registration and completes the launch exchange.
browse_found() {
    "$WINE_RUN" "$BIN/vkbrowse.exe" "$site/irampart/" >"$WORK/browse.transcript" 2>&1
    exited $? 0 vkbrowse
    has "$WORK/browse.transcript" "plug-in for \"application/x-velkor-versioning\": $dir\\NPvkchk.dll, found through the registration HKEY_LOCAL_MACHINE\\Software\\MozillaPlugins\\@velkorgames.com/vkchk ($bits-bit view)"
    has "$WORK/browse.transcript" "navigation: _top -> $site/irampart/index.html"
}
browse_found
wait_for_file "$drive/Velkor/System/started.txt" 10 || fail "vkclient.exe was not started"
has "$drive/Velkor/System/started.txt" "with command line: C:\\Velkor\\System\\vkclient.exe -game irampart"

# 3. The installed updater, as an installer starts it (-s): Tunnel Runner's
# setup starts, Blotball fails, so the summary shows all the same.
"$WINE_RUN" "$drive/$app/vkupdate.exe" -s 2>>"$WORK/wine.err" &
updater=$!
if "$WINE_RUN" "$BIN/vkwindow.exe" wait "Velkor Update Utility" 60 >/dev/null 2>&1; then
    wine "$BIN/vkwindow.exe" texts "Velkor Update Utility" >"$WORK/summary.txt"
    wine "$BIN/vkwindow.exe" ok "Velkor Update Utility"
    has "$WORK/summary.txt" "Tunnel Runner"
    has "$WORK/summary.txt" "Blotball"
else
    fail "the installed vkupdate.exe showed no summary"
    kill "$updater" 2>/dev/null
fi
wait "$updater"
wait_for_file "$drive/Velkor/Games/Tunnel/started.txt" 10 || fail "Tunnel Runner's setup was not started"

# 4. An older version, then this one over it, again, and from another
# folder: the files replaced in place, one entry.
"$WINE_RUN" "$older" /S "/TRUSTED=$site" >/dev/null 2>&1 || fail "the older setup failed"
[ "$(value "$uninstall_key" DisplayVersion)" = 1.0.0.0 ] || fail "the older setup did not install"
install 0 again /S "/TRUSTED=$site"
[ "$(value "$uninstall_key" DisplayVersion)" = 1.0.0.1 ] || fail "DisplayVersion is not the newer one"
snapshot again
# Between the two, the exchange and the updater wrote the log, the launcher's
# and the game setup's records and the game's setup INI: nothing else changes.
changes installed again | grep -v -e '^[+~] file windows/versioning.log$' \
    -e '^[+~] file Velkor/.*/started.txt$' -e '^~ file Velkor/Games/Tunnel/VGOSETUP.INI$' >"$WORK/again.diff"
[ -s "$WORK/again.diff" ] && fail "a second install changed: $(cat "$WORK/again.diff")"
[ "$(entries)" = 1 ] || fail "$(entries) uninstall entries after a second install"
# NSIS takes /D= only unquoted, and Wine quotes an argument with blanks.
install 0 moved /S "/TRUSTED=$site" '/D=C:\VelkorClient'
[ -e "$drive/$app" ] && fail "the earlier folder $app is still there"
[ -f "$drive/VelkorClient/NPvkchk.dll" ] || fail "nothing in C:\\VelkorClient"
[ "$(value "$key" Path)" = 'C:\VelkorClient\NPvkchk.dll' ] || fail "Path does not follow /D="
[ "$(entries)" = 1 ] || fail "$(entries) uninstall entries after an install elsewhere"
uninstall_quietly
[ -e "$drive/VelkorClient" ] && fail "C:\\VelkorClient is still there after the uninstall"
install 0 back /S "/TRUSTED=$site"
[ -f "$drive/$app/NPvkchk.dll" ] || fail "a fresh install did not go to the default folder"

# 5. Refused: origins the plug-in would not take, and the System Components'
# own folder. Nothing changes, and the setup says why.
while IFS='|' read -r switch reason; do
    install 2 refused /S "/TRUSTED=$switch"
    has "$WORK/refused.out" "$reason"
done <<'EOF'
ftp://127.0.0.1|is not an http:// or https:// origin
http://127.0.0.1/irampart/|has more than a scheme, a host and a port
http://user@127.0.0.1|has more than a scheme, a host and a port
http://127.0.0.1:0|has a bad port
http://127.0.0.1:65536|has a bad port
http://:80|has no host
|no origin given
EOF
install 2 refused /S '/D=C:\Velkor\System'
has "$WORK/refused.out" "is the System Components' folder"
[ -e "$drive/Velkor/System/NPvkchk.dll" ] && fail "the setup wrote into SystemPath"
[ "$(value "$trust" TrustedServers)" = "$site" ] || fail "a refused setup changed TrustedServers"
# The origin table the plug-in's tests run: the setup takes exactly the
# origins the plug-in does. Each refused one fails the setup alone; the
# accepted ones make one list that it installs.
accepted=
python3 "$here/origin_rows.py" "$here/../support/origins.txt" >"$WORK/origins.rows"
while IFS='	' read -r verdict encoded; do
    origin=$(printf '%bX' "$encoded") && origin=${origin%X}
    if [ "$verdict" = accepted ]; then
        accepted="$accepted $origin"
        continue
    fi
    install 2 refused /S "/TRUSTED=$origin"
    has "$WORK/refused.out" "/TRUSTED=: "
done <"$WORK/origins.rows"
install 0 table /S "/TRUSTED=${accepted# }"
[ "$(value "$trust" TrustedServers)" = "${accepted# }" ] || fail "the table's accepted origins were not installed"
# A /TRUSTED= the setup cannot read whole fails it rather than fall back
# to the default: behind a long argument, or given twice.
install 2 long /S "/X=$(printf '%01100d' 0)" "/TRUSTED=$site"
has "$WORK/long.out" "the command line is longer than the setup can read whole"
install 2 twice /S "/TRUSTED=$site" "/TRUSTED=$site"
has "$WORK/twice.out" "given more than once"
install 0 back /S "/TRUSTED=$site"

# 6. A browser holding the plug-in (the stand-in, waiting on a server that
# never answers): the uninstaller stops with everything in place, and a
# setup over it fails rather than report an install it did not make.
python3 "$vk_top/tests/e2e/hostile_server.py" "$WORK/silent.port" &
silent_pid=$!
wait_for_file "$WORK/silent.port" 10 || fail "the silent server did not start"
"$WINE_RUN" "$BIN/vkbrowse.exe" --timeout 120 "$dir\NPvkchk.dll" \
    "http://127.0.0.1:$(cat "$WORK/silent.port")/silent/" >"$WORK/holding.transcript" 2>&1 &
holder=$!
wait_for_file "$WORK/holding.transcript" 30
snapshot holding
"$WINE_RUN" "$BIN/vkrunjob.exe" "$(value "$uninstall_key" QuietUninstallString)" >/dev/null 2>>"$WORK/wine.err"
[ $? = 2 ] || fail "the uninstaller did not stop while the plug-in was held"
install 2 held /S "/TRUSTED=$site"
has "$WORK/held.out" "A running browser holding NPvkchk.dll keeps it"
snapshot held
changes holding held >"$WORK/held.diff"
[ -s "$WORK/held.diff" ] && fail "a held plug-in, uninstall and setup changed: $(cat "$WORK/held.diff")"
kill "$holder" "$silent_pid" 2>/dev/null
wait "$holder" "$silent_pid" 2>/dev/null

# The stand-in still finds it before the uninstall.
browse_found
snapshot kept

# 7. The uninstaller takes away exactly what the setup wrote; the components
# key, VELKORGO.INI, the log, the games and what they recorded stay.
uninstall_quietly
snapshot removed
sed 's/^+/-/' "$WORK/installed.diff" >"$WORK/expected.diff"
changes kept removed >"$WORK/removed.diff"
diff -u "$WORK/expected.diff" "$WORK/removed.diff" >"$WORK/uninstall.diff" ||
    fail "the uninstall did not take away exactly what the install added: $(cat "$WORK/uninstall.diff")"
[ "$(entries)" = 0 ] || fail "the uninstall entry is still there"
value "$components_key" SystemPath | grep -qx 'C:\\Velkor\\System' || fail "the components key is gone"
find "$drive/users" -path '*/Temp/*' -type f | grep . && fail "files are left in TEMP after the restart"

# 8. Without the System Components: installed all the same, and said so; the
# uninstall then leaves no vendor key at all.
wine reg delete 'HKLM\Software\Velkor Games Online' /f /reg:$bits >/dev/null
snapshot bare
install 0 bare /S "/TRUSTED=$site"
has "$WORK/bare.out" "the plug-in will not work until they are"
has "$drive/$app/setup.log" "the plug-in will not work until they are"
uninstall_quietly
snapshot bare-removed
changes bare bare-removed >"$WORK/bare.diff"
[ -s "$WORK/bare.diff" ] && fail "install and uninstall without the components left: $(cat "$WORK/bare.diff")"

# 9. A list that was there before the setup: kept by an install without
# /TRUSTED=, replaced by one with it, and put back by the uninstaller; one
# only in the other registry view (where the plug-in then reads it) stays
# the only list. No uninstall leaves the plug-in trusting more.
operator=https://operator.example other=$((96 - bits))
in_view() { query "$trust" /v TrustedServers /reg:$1 | sed -n 's/^ *TrustedServers *REG_SZ *//p'; }
wine reg add "$trust" /v TrustedServers /t REG_SZ /d "$operator" /reg:$bits /f >/dev/null
install 0 keep /S
[ "$(in_view $bits)" = "$operator" ] || fail "an install without /TRUSTED= changed the list to $(in_view $bits)"
has "$WORK/keep.out" "Trusted servers kept as they were: $operator"
install 0 replace /S "/TRUSTED=$site"
[ "$(in_view $bits)" = "$site" ] || fail "/TRUSTED= did not replace the list"
uninstall_quietly
[ "$(in_view $bits)" = "$operator" ] || fail "the uninstaller did not put the list back: \"$(in_view $bits)\""
wine reg delete 'HKLM\Software\Velkor Games Online' /f /reg:$bits >/dev/null
wine reg add "$trust" /v TrustedServers /t REG_SZ /d "$operator" /reg:$other /f >/dev/null
install 0 other /S
[ -z "$(in_view $bits)" ] || fail "an install wrote a list over the one in the $other-bit view"
has "$WORK/other.out" "Trusted servers kept as they were, in the $other-bit registry view"
uninstall_quietly
[ "$(in_view $other)" = "$operator" ] || fail "the list in the $other-bit view did not stay"
[ -z "$(in_view $bits)" ] || fail "the uninstaller left a list in the $bits-bit view"
wine reg delete 'HKLM\Software\Velkor Games Online' /f /reg:$other >/dev/null

echo "== What the setup wrote (files under C:\\, keys in the registry):"
cat "$WORK/installed.diff"
finish setup "$WORK"/*.out "$WORK/browse.transcript" "$WORK/wine.err"
