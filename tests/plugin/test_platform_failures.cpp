// Install locations and fingerprints over a scripted system, for the
// failures Wine gives only when it is broken: no system directory, a mapping
// refused for a file that has bytes, a view or a handle that will not close.
#include <string.h>

#include <doctest/doctest.h>

#include "exchange/fingerprint.h"
#include "exchange/fingerprint_platform.h"
#include "exchange/locations.h"
#include "exchange/locations_platform.h"
#include "exchange/log.h"
#include "host/instance.h"
#include "wine_files.h"

using Lines = std::vector<std::string>;

// The system's call that fails in the current case, and the handles and
// views given out and not yet given back. The one file there is holds "abc".
enum Call { kNothing, kSystemDir, kWindowsDir, kMapping, kView, kUnmap, kCloseMap, kCloseFile };
static Call failing;
static int handlesOpen;
static int file, mapping;  // handles are their addresses

static unsigned directory(char* dir, Call call)
{
    strcpy(dir, "C:\\D");
    return failing == call ? 0 : 4;
}

template <typename T>
static T* handOut(T* handle)
{
    handlesOpen++;
    return handle;
}

void* openComponentsKey(void) { return nullptr; }
int readKeyValue(void*, const char*, char*, unsigned) { return 0; }
void closeComponentsKey(void*) {}
unsigned readStartIn(const char*, char*, unsigned) { return 0; }
unsigned readSystemDirectory(char* dir, unsigned) { return directory(dir, kSystemDir); }
unsigned readWindowsDirectory(char* dir, unsigned) { return directory(dir, kWindowsDir); }
void* openFileForReading(const char*, uint32_t*) { return handOut(&file); }
uint32_t fileSizeLow(void*) { return 3; }
void* mapFileReadOnly(void*) { return failing == kMapping ? nullptr : handOut(&mapping); }
const unsigned char* viewHead(void*, uint32_t length)
{
    static const unsigned char bytes[] = "abc";
    return failing == kView || length != 3 ? nullptr : handOut(bytes);
}
int releaseView(const unsigned char*)
{
    handlesOpen--;
    return failing != kUnmap;
}
int closeFileHandle(void* handle)
{
    handlesOpen--;
    return failing != (handle == &file ? kCloseFile : kCloseMap);
}

TEST_CASE("failures of the system's calls are logged, and nothing is left open")
{
    struct Case {
        Call failing;
        int result;
        Lines logged;  // the last lines
    };
    const std::string done = "returned checksum = 12191315543";
    const Case cases[] = {
        {kSystemDir, 0, {"Couldn't GetSystemDirectory"}},
        {kWindowsDir, 0, {"Couldn't GetWindowsDirectory"}},
        {kMapping, 0, {"realSize = 3", "CreateFileMapping failed"}},
        {kView, 0, {"realSize = 3", "MapViewOfFile failed"}},
        {kUnmap, 1, {done, "UnmapViewOfFile failed"}},
        {kCloseMap, 1, {done, "CloseHandle (map) failed"}},
        {kCloseFile, 1, {done, "CloseHandle (file) failed"}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.failing);
        failing = c.failing;
        handlesOpen = 0;
        logFile = fopen("platform_failures.log", "w");  // its own log: no lock needed
        setvbuf(logFile, nullptr, _IONBF, 0);
        if (c.failing == kSystemDir || c.failing == kWindowsDir) {
            PluginInstance record;
            char path[kPathSize];
            const char* line = c.failing == kSystemDir ? "<WINSYS>\\a.dll" : "<WINDOWS>\\a.ini";
            CHECK(resolveManifestPath(&record, line, path) == 0);
        } else {
            char checksum[kChecksumSize];
            int32_t length = 0;
            CHECK(CheckSumFile("C:\\a.dat", checksum, &length) == c.result);
            CHECK((!c.result || (checksum == std::string("12191315543") && length == 11)));
        }
        fclose(logFile);
        Lines lines = readLines("platform_failures.log");
        CHECK(Lines(lines.end() - long(c.logged.size()), lines.end()) == c.logged);
        CHECK(handlesOpen == 0);
    }
}
