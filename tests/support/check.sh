# Sourced first by every shell test: where the checkout is, failures counted
# and told, a Wine test bed of the test's own, and (from harness/session.sh,
# which the demo uses too) the reference server and the browser stand-in.
vk_top=$(cd "$(dirname "$0")/../.." && pwd)
. "$vk_top/harness/session.sh"
failures=0

# fail MESSAGE: one more failure, told at once; the test goes on.
fail() { printf 'FAILED: %s\n' "$*"; failures=$((failures + 1)); }

# has FILE TEXT, lacks FILE TEXT: the file holds the text, or does not.
has() { grep -qF -- "$2" "$1" 2>/dev/null || fail "$(basename "$1") lacks: $2"; }
lacks() { ! grep -qF -- "$2" "$1" 2>/dev/null || fail "$(basename "$1") should not hold: $2"; }

# exited STATUS WANT WHAT: WHAT ended with the status it should have.
exited() { [ "$1" = "$2" ] || fail "$3 exited with $1, expected $2"; }

# skip REASON: the test cannot run on this machine; ctest counts a skip.
skip() { echo "skipped: $*"; exit 77; }

# bed_up BED LOADER HOLDER BITS: a Wine prefix and screen in BED, its log in
# BED.log; where this machine cannot run the lane, a skip.
bed_up() {
    mkdir -p "$(dirname "$1")"
    sh "$vk_top/cmake/testbed.sh" up "$@" >"$1.log" 2>&1
    case $? in 0) ;; 77) cat "$1.log"; exit 77 ;; *) cat "$1.log"; exit 1 ;; esac
}
bed_down() { sh "$vk_top/cmake/testbed.sh" down "$1" "$2" >/dev/null 2>&1; }

# finish NAME [FILE...]: "NAME: ok" without failures; else each FILE shown
# for the reader of the test's output, and the test fails.
finish() {
    name=$1 && shift
    [ "$failures" = 0 ] && { echo "$name: ok"; exit 0; }
    for f in "$@"; do echo "---- $f"; cat "$f" 2>/dev/null; done
    exit 1
}
