#!/usr/bin/env python3
"""check_platform.py ALLOWED FILE... | --x64 FILE...

Whether Windows of the era we claim can load the shipped files, read from
their PE headers and import tables as objdump shows them: a DLL without a
TLS directory (Windows 95 refuses LoadLibrary of a DLL with static TLS),
the Windows GUI subsystem and subsystem and OS version 4.0, and every
imported function named in ALLOWED (one "DLL function" a line: what Windows
95 and NT 4.0 export). With --x64, only the TLS and subsystem rules, for
the first 64-bit Windows (5.2). Prints one line per fault and exits 1 on any.
"""
import re
import subprocess
import sys

WINDOWS_GUI = 2
DLL = 0x2000  # a characteristic of the file header


def read_pe(path, x64):
    """The header fields by name, the TLS directory's size, and the imports
    as (dll, function) pairs, a function imported by ordinal as "#N"."""
    objdump = "x86_64-w64-mingw32-objdump" if x64 else "i686-w64-mingw32-objdump"
    text = subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True).stdout
    fields = {name: int(value, 16 if name in ("Characteristics", "Subsystem") else 10) for name, value in
              re.findall(r"^(Characteristics|Subsystem|(?:Major|Minor)(?:OSystem|Subsystem)Version)"
                         r"\s+(?:0x)?([0-9a-f]+)", text, re.M)}
    tls = int(re.search(r"^Entry 9 \w+ (\w+) Thread Storage Directory", text, re.M).group(1), 16)
    imports, dll = [], None
    for line in text.splitlines():
        if line.startswith("\tDLL Name: "):
            dll = line.split(": ", 1)[1]
        elif not line.strip():
            dll = None
        elif dll and re.match(r"\t[0-9a-f]+\t", line):
            number, name = line.split()[1:3]
            imports.append((dll, "#" + number if name == "<none>" else name))
    return fields, tls, imports


def read_allowed(path):
    allowed = set()
    with open(path) as f:
        for line in f:
            words = line.split("#")[0].split()
            if words:
                dll, function = words
                allowed.add((dll.lower(), function))
    return allowed


def faults(path, allowed, x64):
    fields, tls, imports = read_pe(path, x64)
    if fields["Characteristics"] & DLL and tls:
        yield "has a TLS directory"
    if fields["Subsystem"] != WINDOWS_GUI:
        yield "subsystem %d, not Windows GUI" % fields["Subsystem"]
    for what, key in ("subsystem", "Subsystem"), ("OS", "OSystem"):
        version = (fields["Major%sVersion" % key], fields["Minor%sVersion" % key])
        if x64 and version > (5, 2):
            yield "%s version %d.%d, newer than the first 64-bit Windows (5.2)" % ((what,) + version)
        if not x64 and version != (4, 0):
            yield "%s version %d.%d, not 4.0" % ((what,) + version)
    if not x64:
        for dll, function in imports:
            if (dll.lower(), function) not in allowed:
                yield "imports %s from %s, which Windows 95 or NT 4.0 lacks" % (function, dll)


def main(args):
    x64 = args[:1] == ["--x64"]
    allowed = set() if x64 else read_allowed(args[0])
    failed = 0
    for path in args[1:]:
        found = list(faults(path, allowed, x64))
        for fault in found:
            print("%s: %s" % (path, fault))
        if not found:
            print("%s: loadable as claimed" % path)
        failed += len(found)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
