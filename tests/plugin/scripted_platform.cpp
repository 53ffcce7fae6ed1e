#include "scripted_platform.h"

#include <string.h>

#include "exchange/fingerprint_platform.h"
#include "exchange/locations_platform.h"

static ScriptedPlatform platform;

ScriptedPlatform& resetPlatform()
{
    platform = ScriptedPlatform();
    return platform;
}

void* openComponentsKey(void)
{
    return nullptr;
}

int readKeyValue(void*, const char*, char* field, unsigned)
{
    field[0] = '\0';
    return 0;
}

void closeComponentsKey(void*) {}

unsigned readStartIn(const char*, char* field, unsigned)
{
    field[0] = '\0';
    return 0;
}

unsigned readSystemDirectory(char* dir, unsigned)
{
    strcpy(dir, "C:\\WINDOWS\\SYSTEM");
    return platform.systemDirectoryFails ? 0 : static_cast<unsigned>(strlen(dir));
}

unsigned readWindowsDirectory(char* dir, unsigned)
{
    strcpy(dir, "C:\\WINDOWS");
    return platform.windowsDirectoryFails ? 0 : static_cast<unsigned>(strlen(dir));
}

// Handles are addresses of these, so a mix-up shows as a wrong answer.
static int fileToken, mappingToken;

void* openFileForReading(const char*, uint32_t*)
{
    platform.handlesOpen++;
    return &fileToken;
}

uint32_t fileSizeLow(void* file)
{
    return file == &fileToken ? platform.size : 0xFFFFFFFFu;
}

void* mapFileReadOnly(void* file)
{
    if (file != &fileToken || platform.mappingFails)
        return nullptr;
    platform.handlesOpen++;
    return &mappingToken;
}

const unsigned char* viewHead(void* mapping, uint32_t length)
{
    platform.viewLength = length;
    if (mapping != &mappingToken || platform.viewFails)
        return nullptr;
    platform.viewsOpen++;
    return reinterpret_cast<const unsigned char*>(platform.bytes.data());
}

int releaseView(const unsigned char*)
{
    platform.viewsOpen--;
    return platform.unmapFails ? 0 : 1;
}

int closeFileHandle(void* handle)
{
    platform.handlesOpen--;
    if (handle == &mappingToken)
        return platform.mappingCloseFails ? 0 : 1;
    return platform.fileCloseFails ? 0 : 1;
}
