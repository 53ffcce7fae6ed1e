#!/usr/bin/env python3
"""check_plugin_dll.py NPvkchk.dll

What a browser sees of the shipped plug-in without running it: exactly the
three entry points, by plain name and fixed ordinal, each returning with the
stack cleanup of WINAPI; and the version resource from which the browser
registers the MIME type. Reads the file itself (exports, resource) and asks
objdump only for the disassembly."""
import re
import struct
import subprocess
import sys

EXPORTS = {1: ("NP_GetEntryPoints", 4), 2: ("NP_Initialize", 4), 3: ("NP_Shutdown", 0)}

STRINGS = {
    "MIMEType": "application/x-velkor-versioning",
    "FileExtents": "velkor",
    "FileOpenName": "Velkor Versioning (*.wpt)",
    "FileDescription": "Velkor Versioning",
    "ProductName": "Velkor Versioning Plugin",
    "FileVersion": "1, 0, 0, 1",
    "ProductVersion": "1, 0, 0, 1",
}

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message)


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise SystemExit("not a PE file")
        self.machine, sections = struct.unpack_from("<HH", data, pe + 4)
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        self.image_base = struct.unpack_from("<I", data, optional + 28)[0]
        directories = optional + 96
        self.directory = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            vsize, va, rsize, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((va, max(vsize, rsize), raw))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %#x outside every section" % rva)

    def u16(self, rva):
        return struct.unpack_from("<H", self.data, self.offset(rva))[0]

    def u32(self, rva):
        return struct.unpack_from("<I", self.data, self.offset(rva))[0]

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")


def exports(image):
    """{ordinal: (name or None, rva)} for every exported function."""
    rva, size = image.directory[0]
    if not rva:
        return {}
    base, functions, names, functions_at, names_at, ordinals_at = (
        image.u32(rva + 16), image.u32(rva + 20), image.u32(rva + 24),
        image.u32(rva + 28), image.u32(rva + 32), image.u32(rva + 36))
    result = {}
    for i in range(functions):
        address = image.u32(functions_at + 4 * i)
        if address:
            result[base + i] = [None, address]
    for i in range(names):
        ordinal = base + image.u16(ordinals_at + 2 * i)
        result.setdefault(ordinal, [None, 0])[0] = image.text(image.u32(names_at + 4 * i))
    return result


def stack_cleanup(path, address):
    """The byte counts of every ret in the function that starts at address."""
    listing = subprocess.run(
        ["i686-w64-mingw32-objdump", "-d", "--start-address=%#x" % address,
         "--stop-address=%#x" % (address + 0x400), path],
        check=True, capture_output=True, text=True).stdout
    counts, started = [], False
    for line in listing.splitlines():
        if re.match(r"^[0-9a-f]+ <", line):
            if started:
                break  # the next function
            started = True
        match = re.search(r"\tret[lw]?\s*(\$0x([0-9a-f]+))?\s*$", line)
        if match:
            counts.append(int(match.group(2), 16) if match.group(2) else 0)
    return counts


def check_exports(path, image):
    if image.machine != 0x14C or image.magic != 0x10B:
        fail("not a PE32 image for i386 (machine %#x, magic %#x)" % (image.machine, image.magic))
        return
    found = exports(image)
    listed = {ordinal: name for ordinal, (name, _) in found.items()}
    wanted = {ordinal: name for ordinal, (name, _) in EXPORTS.items()}
    if listed != wanted:
        fail("exports are %s, expected %s" % (listed, wanted))
    for ordinal, (name, argument_bytes) in EXPORTS.items():
        if ordinal not in found:
            continue
        counts = stack_cleanup(path, image.image_base + found[ordinal][1])
        # WINAPI: the callee removes its arguments from the stack.
        if not counts or any(count != argument_bytes for count in counts):
            fail("%s returns with %s, expected ret %d" % (name, counts or "no ret", argument_bytes))
        else:
            print("export @%d %s: ret %d" % (ordinal, name, argument_bytes))


def blocks(data, start, end):
    """The child blocks of a version resource block: (key, value bytes, value
    type, children start, block end). Blocks are 32-bit aligned."""
    while start + 6 <= end:
        length, value_length, kind = struct.unpack_from("<HHH", data, start)
        if length == 0:
            break
        key_end = start + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[start + 6:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        value_size = value_length * 2 if kind == 1 else value_length
        yield key, data[value_at:value_at + value_size], kind, \
            (value_at + value_size + 3) & ~3, start + length
        start = (start + length + 3) & ~3


def check_version(path):
    listing = subprocess.run(["wrestool", "-l", path], check=True, capture_output=True,
                             text=True).stdout
    versions = [line for line in listing.splitlines() if "type=version" in line]
    if len(versions) != 1 or "--language=1033" not in versions[0]:
        fail("expected one version resource in language 1033, found: %s" % versions)
    data = subprocess.run(["wrestool", "-x", "--raw", "-t16", path], check=True,
                          capture_output=True).stdout
    root = list(blocks(data, 0, len(data)))
    if not root or root[0][0] != "VS_VERSION_INFO":
        fail("no VS_VERSION_INFO block")
        return
    _, fixed, _, children, end = root[0]
    (signature, _, file_ms, file_ls, product_ms, product_ls, flags_mask, flags, os_, type_,
     subtype, _, _) = struct.unpack_from("<13I", fixed)
    if signature != 0xFEEF04BD:
        fail("bad fixed-part signature %#x" % signature)
    expected = {"file version": ((file_ms, file_ls), (0x10000, 0x1)),
                "product version": ((product_ms, product_ls), (0x10000, 0x1)),
                "flags": (flags & flags_mask, 0), "OS": (os_, 0x40004), "type": (type_, 2),
                "subtype": (subtype, 0)}
    for what, (got, want) in expected.items():
        if got != want:
            fail("fixed part %s is %s, expected %s" % (what, got, want))

    strings, translation = {}, None
    for key, _, _, inner, inner_end in blocks(data, children, end):
        if key == "StringFileInfo":
            for table, _, _, at, table_end in blocks(data, inner, inner_end):
                for name, value, kind, _, _ in blocks(data, at, table_end):
                    strings[(table, name)] = value.decode("utf-16-le").rstrip("\0")
        elif key == "VarFileInfo":
            for name, value, _, _, _ in blocks(data, inner, inner_end):
                if name == "Translation":
                    translation = struct.unpack("<%dH" % (len(value) // 2), value)
    if translation != (0x0409, 0x04E4):
        fail("translation is %s, expected (0x409, 0x4e4)" % (translation,))
    tables = {table for table, _ in strings}
    if tables != {"040904e4"}:
        fail("string blocks are %s, expected only 040904e4" % sorted(tables))
    for name, want in STRINGS.items():
        got = strings.get(("040904e4", name))
        if got != want:
            fail('"%s" is %r, expected %r' % (name, got, want))
        else:
            print('"%s" = "%s"' % (name, got))


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        image = Image(f.read())
    check_exports(path, image)
    check_version(path)
    sys.exit(1 if failures else 0)


main()
