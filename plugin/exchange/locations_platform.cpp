// The registry, profile and directory calls behind the install locations.
#include "locations_platform.h"

#include <string.h>

#include <windows.h>

static const char kComponentsKey[] = "Software\\Velkor Games Online\\Velkor System Components";

void* openComponentsKey(void)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kComponentsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

int readKeyValue(void* key, const char* name, char* field, unsigned size)
{
    DWORD filled = size;
    LONG status = RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(field), &filled);
    if (status != ERROR_SUCCESS || filled > size) {
        field[0] = '\0';
        return 0;
    }
    // The registry hands back the bytes as they were stored: a string saved
    // without its terminator comes back without one, and may fill the whole
    // field. Terminate it where there is room; a value that leaves none is
    // too long for the field, like one the registry refuses outright.
    if (memchr(field, '\0', filled))
        return 1;
    if (filled == size) {
        field[0] = '\0';
        return 0;
    }
    field[filled] = '\0';
    return 1;
}

void closeComponentsKey(void* key)
{
    RegCloseKey(static_cast<HKEY>(key));
}

unsigned readStartIn(const char* game, char* field, unsigned size)
{
    return GetPrivateProfileStringA(game, "StartIn", "Error", field, size, "velkorgo.ini");
}

// Both calls answer the size they need, not a length, when the buffer is too
// small; what they left in it then is not the directory.
unsigned readSystemDirectory(char* dir, unsigned size)
{
    UINT length = GetSystemDirectoryA(dir, size);
    return length < size ? length : 0;
}

unsigned readWindowsDirectory(char* dir, unsigned size)
{
    UINT length = GetWindowsDirectoryA(dir, size);
    return length < size ? length : 0;
}
