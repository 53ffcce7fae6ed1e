// A file's fingerprint: the cksum CRC of its first 1024 bytes, then its size.
#pragma once

#include <stdint.h>

enum { kChecksumSize = 21 };  // a ten-digit CRC, a ten-digit size and the terminator

// Writes the fingerprint of the file at path into checksum (kChecksumSize
// bytes) and its length into *length. A file that cannot be opened, or a
// name that is not a disk file (a device), gives "0".
// Returns 1 with a fingerprint, 0 after logging a failure.
int CheckSumFile(const char* path, char* checksum, int32_t* length);
