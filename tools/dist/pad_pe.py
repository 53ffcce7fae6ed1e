"""pad_pe.py FILE: pads a PE file with zeros to a multiple of 8 bytes and
sets its header checksum to match.

An Authenticode signature is appended at an 8-byte boundary, and removing
it leaves the padding: a file that is already aligned comes back byte for
byte, so a signed file can be checked against the unsigned build.
"""
import struct
import sys


def checksum(data, field):
    total = 0
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    # The checksum field itself counts as zero.
    for offset in (field, field + 2):
        (word,) = struct.unpack_from("<H", data, offset)
        total -= word
        if total < 0:
            total += 0xFFFF
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"pad_pe: {path} is not a PE file")
    data += bytes(-len(data) % 8)
    field = pe + 24 + 64  # optional header, CheckSum
    struct.pack_into("<I", data, field, checksum(bytes(data), field))
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
