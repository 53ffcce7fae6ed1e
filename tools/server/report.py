"""Reading the plug-in's version report exactly as it sends it.

Body: "junk=1&number=<L>&versions=" then "<name>=<fingerprint>;" for each of
the L manifest lines, with the last ";" (the "=" of "versions=" when L is 0)
replaced by a zero byte that Content-Length counts. Spaces in names arrive
as "+"; nothing else is escaped, so a name is everything before its pair's
last "=" (a fingerprint never holds one). A "+" in a reported name is thus
either a blank or a "+" of the file name: names are compared in the form
the plug-in sends them, never decoded."""


class ReportError(Exception):
    """A report the server refuses; the text says why."""


PREFIX = b"junk=1&number="
VERSIONS = b"&versions"


def parse_report(body):
    """Returns the list of (name, fingerprint) pairs of a report body."""
    if not body:
        raise ReportError("the report is empty")
    if body[-1:] != b"\0":
        raise ReportError("the report does not end with its zero byte")
    text = body[:-1]
    if b"\0" in text:
        raise ReportError("the report holds a zero byte before its end, at byte %d" % text.index(b"\0"))
    if not text.startswith(PREFIX):
        raise ReportError("the report does not begin with %r" % PREFIX.decode())
    rest = text[len(PREFIX):]
    end = rest.find(VERSIONS)
    if end < 0:
        raise ReportError("the report has no %r part" % VERSIONS.decode())
    count_text = rest[:end]
    if not count_text.isdigit():
        raise ReportError("the object count %r is not a number" % count_text.decode("latin-1"))
    count = int(count_text)
    pairs_text = rest[end + len(VERSIONS):]
    if count == 0:
        if pairs_text:
            raise ReportError("the report counts 0 objects but carries %r" % pairs_text.decode("latin-1"))
        return []
    if not pairs_text.startswith(b"="):
        raise ReportError("the report counts %d objects but has no versions" % count)
    pairs = pairs_text[1:].split(b";")
    if len(pairs) != count:
        raise ReportError("the report counts %d objects but carries %d" % (count, len(pairs)))
    entries = []
    for i, pair in enumerate(pairs):
        name, sep, print_ = pair.rpartition(b"=")
        if not sep or not name:
            raise ReportError("entry %d (%r) is not name=fingerprint" % (i + 1, pair.decode("latin-1")))
        if not print_.isdigit():
            raise ReportError("entry %d has fingerprint %r, not digits" % (i + 1, print_.decode("latin-1")))
        entries.append((name.decode("latin-1"), print_.decode("ascii")))
    return entries


def as_sent(line):
    """A manifest line as its report names it."""
    return line.replace(" ", "+")


def compare(game, entries):
    """Checks every reported fingerprint against the catalogue. Returns
    (all_match, lines) where lines describe each file for the log."""
    reported = dict(entries)
    lines = []
    ok = True
    for line in game.lines:
        want = game.expected[line]
        got = reported.pop(as_sent(line), None)
        if got is None:
            ok = False
            lines.append("missing  %s (want %s)" % (line, want))
        elif got != want:
            ok = False
            lines.append("differs  %s: got %s, want %s" % (line, got, want))
        else:
            lines.append("matches  %s %s" % (line, got))
    for name, got in reported.items():
        ok = False
        lines.append("unknown  %s %s" % (name, got))
    return ok, lines
