// The Win32 file and mapping calls behind a fingerprint.
#include "fingerprint_platform.h"

#include <windows.h>

void* openFileForReading(const char* path, uint32_t* error)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return nullptr;
    }
    return file;
}

uint32_t fileSizeLow(void* file)
{
    return GetFileSize(file, nullptr);
}

void* mapFileReadOnly(void* file)
{
    return CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
}

const unsigned char* viewHead(void* mapping, uint32_t length)
{
    return static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, length));
}

int releaseView(const unsigned char* view)
{
    return UnmapViewOfFile(view) ? 1 : 0;
}

int closeFileHandle(void* handle)
{
    return CloseHandle(handle) ? 1 : 0;
}
