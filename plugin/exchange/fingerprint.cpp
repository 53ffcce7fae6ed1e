// A file's fingerprint, as the server computes it for the files it ships:
// the POSIX cksum CRC of the first 1024 bytes, then the size, in decimal.
// The head is read rather than mapped: a read costs a third of the calls
// into the system, works for an empty file, and a file on a share that goes
// away gives an error instead of an exception in the browser.
#include "fingerprint.h"

#include <stdio.h>

#include <windows.h>

#include "log.h"

const DWORD kHeadSize = 1024;
const DWORD kSizeUnknown = 0xFFFFFFFFu;  // also the size query's failure
const uint32_t kPolynomial = 0x04C11DB7u;

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

static uint32_t cksumCrc(const unsigned char* bytes, int32_t count)
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

// Writes "0", the fingerprint of a file the player does not have.
static int notFound(char* checksum, int32_t* length)
{
    checksum[0] = '0';
    checksum[1] = '\0';
    *length = 1;
    return 1;
}

int CheckSumFile(const char* path, char* checksum, int32_t* length)
{
    logMessage("Awake, about to map file %s\n", path);

    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // Missing, a directory, locked by a writer: the server treats all of
        // these as a file the player does not have.
        logMessage("CreateFile failed assuming file not found; error=%d\n",
                   static_cast<int>(GetLastError()));
        return notFound(checksum, length);
    }
    // A device name (NUL, CON, COM1, in any directory) opens the device, and
    // reading one may wait forever on the browser's thread.
    DWORD type = GetFileType(file);
    if (type != FILE_TYPE_DISK) {
        logMessage("Not a disk file assuming file not found; type=%lu\n",
                   static_cast<unsigned long>(type));
        CloseHandle(file);
        return notFound(checksum, length);
    }

    DWORD realSize = GetFileSize(file, nullptr);
    logMessage("realSize = %lu\n", static_cast<unsigned long>(realSize));
    if (realSize == kSizeUnknown) {
        logMessage("GetFileSize failed\n");
        CloseHandle(file);
        return 0;
    }
    DWORD headLength = realSize < kHeadSize ? realSize : kHeadSize;

    unsigned char head[kHeadSize];
    DWORD got = 0;
    if (!ReadFile(file, head, headLength, &got, nullptr)) {
        logMessage("ReadFile failed; error=%d\n", static_cast<int>(GetLastError()));
        CloseHandle(file);
        return 0;
    }
    if (got != headLength) {  // the file shrank since its size was taken
        logMessage("ReadFile read %lu of %lu bytes\n", static_cast<unsigned long>(got),
                   static_cast<unsigned long>(headLength));
        CloseHandle(file);
        return 0;
    }

    uint32_t crc = cksumCrc(head, static_cast<int32_t>(headLength));
    // At most ten digits each: the slot always holds the whole text.
    *length = snprintf(checksum, kChecksumSize, "%lu%lu", static_cast<unsigned long>(crc),
                       static_cast<unsigned long>(realSize));
    logMessage("checksum = %lu\n", static_cast<unsigned long>(crc));
    logMessage("returned checksum = %s\n", checksum);

    if (!CloseHandle(file))
        logMessage("CloseHandle (file) failed\n");
    return 1;
}
