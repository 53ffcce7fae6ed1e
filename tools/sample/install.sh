#!/bin/sh
# install.sh [--trusted "ORIGIN ..." | --no-trusted] WINE_RUN DRIVE_C STANDIN_EXE [BITS]
# Builds the sample installation of the Velkor service into a Wine prefix:
# WINE_RUN runs a Windows program in that prefix, DRIVE_C is its C: drive
# and STANDIN_EXE the recording stand-in program (vkstandin.exe). BITS (32,
# the default, or 64) is the browser's: the registry keys go where a
# program of that width reads them (for 32 bits, under WOW6432Node).
# --trusted gives the plug-in's TrustedServers, the origins whose pages may
# drive it, separated by blanks (default http://127.0.0.1:8080, the
# reference server's own address); --no-trusted leaves the value out, so
# that any page may.
#
#   C:\Velkor\System         SystemPath: vkclient.exe (stand-in)
#   C:\Velkor\Plugins        PlugInPath: shared components
#   C:\Velkor\Games\Rampart  irampart, up to date
#   C:\Velkor\Games\Duskfall iduskfall, one file of an older release
#   C:\Velkor\Games\Tunnel   itunnelrun, no StartIn yet: the updater starts
#                            its VGOSETUP.EXE (stand-in)
#   C:\Velkor\Games\Blotball iblotball, setup files missing: the updater fails it
# plus VELKORGO.INI and duskfall.ini in the Windows directory and the
# components key and the plug-in's key in the registry. Anything from an
# earlier run is replaced.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
trusted=http://127.0.0.1:8080 listed=yes
case ${1:-} in
--trusted) [ $# -ge 2 ] || { echo "install.sh: --trusted takes the origins" >&2; exit 2; }
    trusted=$2 && shift 2 ;;
--no-trusted) listed= && shift ;;
esac
[ $# -ge 3 ] || {
    echo "usage: install.sh [--trusted \"ORIGIN ...\" | --no-trusted] WINE_RUN DRIVE_C STANDIN_EXE [BITS]" >&2
    exit 2
}
run=$1 drive=$2 standin=$3 bits=${4:-32}
windir=$drive/windows
root=$drive/Velkor

[ -d "$windir" ] || { echo "install.sh: no Windows directory in $drive" >&2; exit 1; }
rm -rf "$root"
mkdir -p "$root/System" "$root/Plugins" "$root/Games/Rampart" "$root/Games/Duskfall" \
    "$root/Games/Tunnel" "$root/Games/Blotball"

cp "$standin" "$root/System/vkclient.exe"
cp -R "$here/release/_plugin/." "$root/Plugins/"
cp -R "$here/release/_windows/." "$windir/"
cp -R "$here/release/irampart/." "$root/Games/Rampart/"
cp -R "$here/release/iduskfall/." "$root/Games/Duskfall/"
cp -R "$here/outdated/iduskfall/." "$root/Games/Duskfall/"
cp -R "$here/release/itunnelrun/." "$root/Games/Tunnel/"
cp "$here/VGOSETUP.INI" "$root/Games/Tunnel/VGOSETUP.INI"
cp "$standin" "$root/Games/Tunnel/VGOSETUP.EXE"
cp "$here/VELKORGO.INI" "$windir/VELKORGO.INI"
rm -f "$windir/versioning.log"
chmod -R u+w "$root"

# The plug-in's key is made anew, with the list or without it. Wine's
# import leaves a "[-key]" of the 32-bit view in place, so the old key is
# deleted first, in both views: the plug-in reads a list from the other
# view when its own has none.
plugin_key='HKEY_LOCAL_MACHINE\Software\Velkor Games Online\Versioning Plug-in'
for view in 32 64; do
    "$run" reg delete "$plugin_key" "/reg:$view" /f >/dev/null 2>&1 || true
done
{
    cat "$here/components.reg"
    if [ -n "$listed" ]; then
        printf '\n[%s]\n"TrustedServers"="%s"\n' "$plugin_key" \
            "$(printf '%s' "$trusted" | sed 's/\\/\\\\/g; s/"/\\"/g')"
    fi
} >"$root/components.reg"
"$run" reg import 'C:\Velkor\components.reg' "/reg:$bits" >/dev/null 2>&1 || {
    echo "install.sh: could not import the registry keys" >&2
    exit 1
}
rm -f "$root/components.reg"
