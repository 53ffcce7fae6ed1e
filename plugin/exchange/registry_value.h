// One registry value read into a fixed field, the way the plug-in reads all
// of its settings: never cut short, always terminated.
#pragma once

#include <windows.h>

// Reads value name of key into field (size bytes), whatever its type, and
// gives the type when type is not null. Returns ERROR_SUCCESS with field
// zero-terminated; otherwise field is empty and the result is the registry's
// error (ERROR_FILE_NOT_FOUND for a missing value), or ERROR_MORE_DATA for a
// value that does not fit with a terminator.
LONG readRegistryValue(HKEY key, const char* name, char* field, DWORD size, DWORD* type);
