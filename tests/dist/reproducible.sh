#!/bin/sh
# reproducible.sh BUILD SITE WORK
# The shipped files of the i686 build BUILD against a second build of the
# same sources, copied to another folder (WORK/elsewhere) and built there
# afresh, later, with the same SOURCE_DATE_EPOCH and site: the programs,
# their debug files, the setup and the zip must be the same bytes.
set -u
build=$(realpath -m "$1") site=$2 WORK=$(realpath -m "$3")
. "$(dirname "$0")/../support/check.sh"
version=$(sh "$vk_top/tools/dist/version.sh")
other=$WORK/elsewhere/velkor-client
rm -rf "$WORK" && mkdir -p "$other"
for f in NPvkchk.dll vkupdate.exe vkbrowse.exe setup/velkor-client-setup-$version.exe; do
    case $f in setup/*) ;; *) f=bin/$f ;; esac
    [ -f "$build/$f" ] || skip "$build/$f is not built, so there is nothing to compare"
done

# The sources as they are now, committed or not, without any build.
if git -C "$vk_top" rev-parse --show-toplevel >/dev/null 2>&1; then
    (cd "$vk_top" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - 2>/dev/null) |
        tar -xf - -C "$other"
else
    (cd "$vk_top" && tar -cf - --exclude=./build .) | tar -xf - -C "$other"
fi
[ -f "$other/CMakeLists.txt" ] || skip "the sources could not be copied to $other"

epoch=$(cat "$build/source_date_epoch")
echo "Second build in $other (SOURCE_DATE_EPOCH=$epoch)"
(cd "$other" && SOURCE_DATE_EPOCH=$epoch cmake --preset i686 -DVK_SITE_ADDRESS="$site" &&
    cmake --build --preset i686 --target vkbrowse vksetup) >"$WORK/build.log" 2>&1 ||
    { tail -30 "$WORK/build.log"; echo "FAILED: the second build"; exit 1; }
# The zips, each of its own build.
sh "$vk_top/tools/dist/dist.sh" "$build" "$WORK/dist-first" >/dev/null &&
    sh "$vk_top/tools/dist/dist.sh" "$other/build/i686" "$WORK/dist-second" >/dev/null ||
    { echo "FAILED: make dist's packing"; exit 1; }

printf '%-64s  %s\n' "sha256 (first build = second build)" file
for f in bin/NPvkchk.dll bin/vkupdate.exe bin/vkbrowse.exe \
    bin/NPvkchk.dll.debug bin/vkupdate.exe.debug bin/vkbrowse.exe.debug \
    setup/velkor-client-setup-$version.exe dist/velkor-client-$version.zip; do
    case $f in
    dist/*) a=$WORK/dist-first/${f#dist/} b=$WORK/dist-second/${f#dist/} ;;
    *) a=$build/$f b=$other/build/i686/$f ;;
    esac
    if cmp -s "$a" "$b"; then
        printf '%s  %s\n' "$(sha256sum <"$a" | cut -c1-64)" "$f"
    else
        fail "$f differs in $(cmp -l "$a" "$b" 2>/dev/null | wc -l) bytes (sizes $(wc -c <"$a") and $(wc -c <"$b"))"
    fi
done
finish reproducible
