// The update pass's calls into the profile service, the file system and the
// process starter.
#include "pass_files.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <windows.h>

#include "pass_limits.h"

namespace {
// The profile service answers a missing file, section or key with the
// default; a value that reads the same is taken as missing too.
const char kNoKey[] = "NOKEY";
}

int readIniValue(const char* file, const char* section, const char* key, char* value)
{
    GetPrivateProfileStringA(section, key, kNoKey, value, DWORD(kValueSize), file);
    return strcmp(value, kNoKey) != 0;
}

char* readSectionNames(const char* file, int* length)
{
    // A list that does not fit is cut, and the answer is then size - 2: the
    // game sections behind the cut would be left out unseen. Grow and read
    // again until the answer is shorter. A list near that size that did fit
    // only costs one more read.
    const DWORD largest = 0x10000000;  // far beyond any INI file the service loads
    for (DWORD size = DWORD(kSectionListSize); size <= largest; size *= 2) {
        char* list = static_cast<char*>(malloc(size));
        if (!list)
            return nullptr;
        DWORD got = GetPrivateProfileSectionNamesA(list, size, file);
        if (got + 2 < size) {
            *length = int(got);
            return list;
        }
        free(list);
    }
    return nullptr;
}

int writeStartInMark(const char* file, const char* section)
{
    return WritePrivateProfileStringA(section, "StartIn", "<current>", file) ? 1 : 0;
}

void makeFileNormal(const char* path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
}

int canOpenForUpdate(const char* path)
{
    // Windows refuses to open a read-only file for writing; an administrator
    // on some file systems is let through. Either way it is not for us.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return 0;
    FILE* f = fopen(path, "r+");
    if (!f)
        return 0;
    fclose(f);
    return 1;
}

int startHidden(const char* commandLine)
{
    // WinExec answers 32 or more when the program started, an error code
    // below 32 otherwise.
    return WinExec(commandLine, SW_HIDE) > 31 ? 1 : 0;
}
