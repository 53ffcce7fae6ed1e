"""File fingerprints as the plug-in computes them: the POSIX cksum CRC of the
file's first 1024 bytes (at most), followed directly by the file's size."""

import os

HEAD = 1024


def _table():
    table = []
    for i in range(256):
        crc = i << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else (crc << 1)
            crc &= 0xFFFFFFFF
        table.append(crc)
    return table


_TABLE = _table()


def cksum_crc(data):
    """The first number `cksum` prints for these bytes (0xFFFFFFFF for none,
    the CRC of an empty file)."""
    if not data:
        return 0xFFFFFFFF
    crc = 0
    for byte in data:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ _TABLE[(crc >> 24) ^ byte]
    n = len(data)
    while n > 0:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ _TABLE[(crc >> 24) ^ (n & 0xFF)]
        n >>= 8
    return crc ^ 0xFFFFFFFF


def fingerprint(path):
    """The fingerprint text of the file at path."""
    size = os.path.getsize(path)
    with open(path, "rb") as f:
        head = f.read(HEAD)
    return "%d%d" % (cksum_crc(head), size & 0xFFFFFFFF)
