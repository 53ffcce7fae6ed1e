// Reading one registry value into a fixed field.
#include "registry_value.h"

#include <string.h>

LONG readRegistryValue(HKEY key, const char* name, char* field, DWORD size, DWORD* type)
{
    DWORD filled = size;
    LONG status = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(field),
                                   &filled);
    if (status == ERROR_SUCCESS && filled > size)
        status = ERROR_MORE_DATA;
    if (status != ERROR_SUCCESS) {
        field[0] = '\0';
        return status;
    }
    // The registry hands back the bytes as they were stored: a string saved
    // without its terminator comes back without one, and may fill the whole
    // field. Terminate it where there is room; a value that leaves none is
    // too long for the field, like one the registry refuses outright.
    if (memchr(field, '\0', filled))
        return ERROR_SUCCESS;
    if (filled == size) {
        field[0] = '\0';
        return ERROR_MORE_DATA;
    }
    field[filled] = '\0';
    return ERROR_SUCCESS;
}
