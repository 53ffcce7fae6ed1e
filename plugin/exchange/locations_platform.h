// The system services the install locations are read from: the components
// key in the registry, the service INI file and the system's own
// directories. Kept apart so the path rules read (and build) on their own.
#pragma once

// Opens HKEY_LOCAL_MACHINE\Software\Velkor Games Online\Velkor System
// Components for reading. Returns the key, or null when it cannot be opened.
void* openComponentsKey(void);

// Reads a value of the key into field (size bytes) as stored, whatever its
// type. Returns 1 with field zero-terminated; 0 (field empty) when the value
// is missing or does not fit with a terminator.
int readKeyValue(void* key, const char* name, char* field, unsigned size);

void closeComponentsKey(void* key);

// "StartIn" of section game in velkorgo.ini in the Windows directory, with
// the default "Error". Returns the profile reader's count of characters.
unsigned readStartIn(const char* game, char* field, unsigned size);

// The Windows system directory and the Windows directory. Return the text's
// length, or 0 when the directory is unavailable or does not fit size bytes.
unsigned readSystemDirectory(char* dir, unsigned size);
unsigned readWindowsDirectory(char* dir, unsigned size);
