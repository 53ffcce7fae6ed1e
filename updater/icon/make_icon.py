#!/usr/bin/env python3
"""Turns a 32 x 32 text picture (see vkupdate_icon.txt) into a Windows icon
file holding one 16-colour image.

usage: make_icon.py PICTURE.txt OUTPUT.ico
"""
import struct
import sys

SIZE = 32
# The 16 colours of the standard Windows palette, in their usual order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def read_picture(path):
    rows = []
    with open(path, encoding="ascii") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if line.startswith("#") or not line:
                continue
            if len(line) != SIZE or any(c not in "0123456789abcdef." for c in line):
                sys.exit("%s: bad picture row %r" % (path, line))
            rows.append(line)
    if len(rows) != SIZE:
        sys.exit("%s: %d rows, want %d" % (path, len(rows), SIZE))
    return rows


def icon_bytes(rows):
    # Both bitmaps are stored bottom row first.
    colours = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        for x in range(0, SIZE, 2):
            hi, lo = (0 if c == "." else int(c, 16) for c in row[x:x + 2])
            colours.append(hi << 4 | lo)
        bits = 0
        for c in row:
            bits = bits << 1 | (c == ".")
        mask += struct.pack(">I", bits)  # 32 pixels: exactly one padded row
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    # The image's height counts both bitmaps, colours and mask.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 0, 0)
    image = header + palette + bytes(colours) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    data = icon_bytes(read_picture(sys.argv[1]))
    with open(sys.argv[2], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
