"""The server's catalogue: the games it serves, each with its launch
arguments and the manifest lines of its files. The expected fingerprint of
every line is computed at start from the reference copy of the file in the
release tree: a plain line names release/<game>/<line>, a line that starts
with a path macro names release/_plugin/, _windows/ or _winsys/."""

import configparser
import os

from fingerprint import fingerprint
from report import as_sent

MACRO_DIRS = {"<plugin>": "_plugin", "<windows>": "_windows", "<winsys>": "_winsys"}


class CatalogueError(Exception):
    pass


class Game:
    def __init__(self, name, title, launch, lines):
        self.name = name
        self.title = title
        self.launch = launch
        self.lines = lines          # manifest lines, in order
        self.expected = {}          # manifest line -> fingerprint text


def reference_path(release, game, line):
    """The reference copy of the file a manifest line names."""
    if line.startswith("<"):
        close = line.find(">")
        macro = line[: close + 1].lower() if close > 0 else ""
        if macro not in MACRO_DIRS:
            raise CatalogueError("%s: unknown path macro in %r" % (game, line))
        base, rest = MACRO_DIRS[macro], line[close + 1:]
    else:
        base, rest = game, line
    parts = [p for p in rest.replace("\\", "/").split("/") if p]
    return os.path.join(release, base, *parts)


def load(path, release):
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    if not parser.read(path, encoding="utf-8"):
        raise CatalogueError("cannot read catalogue %s" % path)
    games = {}
    for name in parser.sections():
        section = parser[name]
        lines = [l.strip() for l in section.get("files", "").splitlines() if l.strip()]
        game = Game(name, section.get("title", name), section.get("launch", ""), lines)
        for line in lines:
            if "\n" in line or ";" in line:
                raise CatalogueError("%s: a manifest line may hold no ';': %r" % (name, line))
            ref = reference_path(release, name, line)
            if not os.path.isfile(ref):
                raise CatalogueError("%s: no reference file %s for %r" % (name, ref, line))
            game.expected[line] = fingerprint(ref)
        sent = {}
        for line in lines:
            # "a b" and "a+b" are one name in a report: the server could not tell them apart.
            other = sent.setdefault(as_sent(line), line)
            if other != line:
                raise CatalogueError("%s: %r and %r are reported alike" % (name, other, line))
        games[name] = game
    if not games:
        raise CatalogueError("catalogue %s lists no games" % path)
    return games
