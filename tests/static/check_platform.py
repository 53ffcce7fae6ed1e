#!/usr/bin/env python3
"""check_platform.py ALLOWED FILE... | --x64 FILE...

Whether Windows of the era we claim can load the shipped files, read from
their PE headers and import tables: a DLL without a TLS directory (Windows
95 refuses LoadLibrary of a DLL with static TLS), the Windows GUI subsystem
and subsystem and OS version 4.0, and every imported function named in
ALLOWED (one "DLL function" a line: what Windows 95 and NT 4.0 export). With
--x64, only the TLS and subsystem rules, for the first 64-bit Windows (5.2).
Prints one line per fault and exits 1 on any.
"""
import struct
import sys

IMPORT_DIRECTORY, TLS_DIRECTORY = 1, 9
WINDOWS_GUI = 2
DLL = 0x2000  # a characteristic of the file header


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        pe = self.u32(0x3C)
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        sections, optional_size, self.characteristics = struct.unpack_from("<H12xHH", self.data, pe + 6)
        opt = pe + 24
        self.pe32plus = self.u16(opt) == 0x20B
        self.os_version = (self.u16(opt + 40), self.u16(opt + 42))
        self.subsystem_version = (self.u16(opt + 48), self.u16(opt + 50))
        self.subsystem = self.u16(opt + 68)
        directories = opt + (112 if self.pe32plus else 96)
        count = self.u32(directories - 4)
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i) for i in range(count)]
        table = opt + optional_size
        self.sections = [struct.unpack_from("<8xIIII", self.data, table + 40 * i) for i in range(sections)]

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def offset(self, rva):
        for size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError("address 0x%x lies in no section" % rva)

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        """(dll, function) pairs; a function imported by ordinal as "#N"."""
        rva, size = self.directory(IMPORT_DIRECTORY)
        entry = self.offset(rva) if size else None
        width, ordinal_flag = (8, 1 << 63) if self.pe32plus else (4, 1 << 31)
        while entry is not None:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, entry)
            if not name:
                return
            dll = self.text(name)
            thunk = self.offset(lookup or thunks)
            while True:
                value = int.from_bytes(self.data[thunk:thunk + width], "little")
                if not value:
                    break
                yield dll, "#%d" % (value & 0xFFFF) if value & ordinal_flag else self.text(value + 2)
                thunk += width
            entry += 20


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
    pe = PeFile(path)
    if pe.characteristics & DLL and pe.directory(TLS_DIRECTORY)[1]:
        yield "has a TLS directory"
    if pe.subsystem != WINDOWS_GUI:
        yield "subsystem %d, not Windows GUI" % pe.subsystem
    for what, version in ("subsystem", pe.subsystem_version), ("OS", pe.os_version):
        if x64 and version > (5, 2):
            yield "%s version %d.%d, newer than the first 64-bit Windows (5.2)" % ((what,) + version)
        if not x64 and version != (4, 0):
            yield "%s version %d.%d, not 4.0" % ((what,) + version)
    if not x64:
        for dll, function in pe.imports():
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
