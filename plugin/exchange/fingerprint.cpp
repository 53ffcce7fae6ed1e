// A file's fingerprint, as the server computes it for the files it ships:
// the POSIX cksum CRC of the first 1024 bytes, then the size, in decimal.
// Its log lines go straight to the log stream.
#include "fingerprint.h"

#include <stdio.h>

#include "fingerprint_platform.h"
#include "log.h"

enum : uint32_t {
    kHeadSize = 1024,
    kPolynomial = 0x04C11DB7u,
    kSizeUnknown = 0xFFFFFFFFu,
};

struct CrcTable {
    uint32_t entry[256];
};

// Entry i is the register after shifting the byte i through it, MSB first.
static constexpr CrcTable makeCrcTable()
{
    CrcTable table{};
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t value = i << 24;
        for (int bit = 0; bit < 8; bit++)
            value = (value & 0x80000000u) ? (value << 1) ^ kPolynomial : value << 1;
        table.entry[i] = value;
    }
    return table;
}

static constexpr CrcTable kCrcTable = makeCrcTable();
static_assert(kCrcTable.entry[1] == 0x04C11DB7u, "cksum table");
static_assert(kCrcTable.entry[255] == 0xB1F740B4u, "cksum table");

static uint32_t crcStep(uint32_t crc, unsigned char byte)
{
    return (crc << 8) ^ kCrcTable.entry[(crc >> 24) ^ byte];
}

uint32_t cksumCrc(const unsigned char* bytes, int32_t count)
{
    if (count <= 0)
        return 0xFFFFFFFFu;  // the complement of an untouched register
    uint32_t crc = 0;
    for (int32_t i = 0; i < count; i++)
        crc = crcStep(crc, bytes[i]);
    // cksum folds in the length too, low byte first, only the bytes it needs.
    for (uint32_t n = static_cast<uint32_t>(count); n > 0; n >>= 8)
        crc = crcStep(crc, static_cast<unsigned char>(n & 0xFF));
    return ~crc;
}

int CheckSumFile(const char* path, char* checksum, int32_t* length)
{
    logWrite("Awake, about to map file %s\n", path);

    uint32_t error = 0;
    void* file = openFileForReading(path, &error);
    if (!file) {
        // Missing, a directory, locked by a writer: the server treats all of
        // these as a file the player does not have.
        checksum[0] = '0';
        checksum[1] = '\0';
        *length = 1;
        logWrite("CreateFile failed assuming file not found; error=%d\n", static_cast<int>(error));
        return 1;
    }

    uint32_t realSize = fileSizeLow(file);
    logWrite("realSize = %lu\n", static_cast<unsigned long>(realSize));
    if (realSize == kSizeUnknown) {
        logWrite("GetFileSize failed\n");
        closeFileHandle(file);
        return 0;
    }
    uint32_t headLength = realSize < kHeadSize ? realSize : kHeadSize;

    void* mapping = mapFileReadOnly(file);
    if (!mapping) {
        logWrite("CreateFileMapping failed\n");
        closeFileHandle(file);
        return 0;
    }
    // A view of length 0 would be the whole file: ask for at least one byte
    // (a size that is a multiple of 4 GiB has an empty head here).
    const unsigned char* view = viewHead(mapping, headLength ? headLength : 1);
    if (!view) {
        logWrite("MapViewOfFile failed\n");
        closeFileHandle(mapping);
        closeFileHandle(file);
        return 0;
    }

    uint32_t crc = cksumCrc(view, static_cast<int32_t>(headLength));
    // At most ten digits each: the slot always holds the whole text.
    *length = snprintf(checksum, kChecksumSize, "%lu%lu", static_cast<unsigned long>(crc),
                       static_cast<unsigned long>(realSize));
    logWrite("checksum = %lu\n", static_cast<unsigned long>(crc));
    logWrite("returned checksum = %s\n", checksum);

    if (!releaseView(view))
        logWrite("UnmapViewOfFile failed\n");
    if (!closeFileHandle(mapping))
        logWrite("CloseHandle (map) failed\n");
    if (!closeFileHandle(file))
        logWrite("CloseHandle (file) failed\n");
    return 1;
}
