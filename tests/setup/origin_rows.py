"""origin_rows.py TABLE: the rows of the shared origin table for setup.sh,
one "VERDICT<TAB>ORIGIN" line each, ORIGIN with every byte but the plain
ones written as \\0NNN for printf %b (which knows no \\xHH). The table's
bytes are the ANSI code page's (a registry value as the plug-in reads it);
the setup gets them as Wine passes arguments, in UTF-8."""
import re
import sys

NAMED = {"n": "\n", "r": "\r"}
PLAIN = set("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789:/.-_@?#%[]+")


def unescape(text):
    return re.sub(r"\\(x[0-9A-Fa-f]{2}|.)",
                  lambda m: chr(int(m.group(1)[1:], 16)) if len(m.group(1)) == 3
                  else NAMED.get(m.group(1), m.group(1)), text)


for line in open(sys.argv[1], encoding="latin-1"):
    line = line.rstrip("\n")
    if not line or line.startswith("#"):
        continue
    origin, verdict = line.split("\t")
    print(verdict + "\t" + "".join(c if c in PLAIN else "".join("\\0%03o" % b for b in c.encode("utf-8"))
                                   for c in unescape(origin)))
