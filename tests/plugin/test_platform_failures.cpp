// Install locations and fingerprints over a scripted system: the failures
// Wine does not give on request, and the handles left behind on each road.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <doctest/doctest.h>

#include "exchange/fingerprint.h"
#include "exchange/locations.h"
#include "exchange/log.h"
#include "host/instance.h"
#include "scripted_platform.h"
#include "wine_files.h"

static const char kLogPath[] = "platform_failures.log";

// A fresh log of this program's own, beside it.
static void startLog()
{
    if (logFile)
        fclose(logFile);
    logFile = fopen(kLogPath, "w");
    REQUIRE(logFile);
    setvbuf(logFile, nullptr, _IONBF, 0);
}

static std::vector<std::string> loggedLines()
{
    return readLines(kLogPath);
}

TEST_CASE("manifest paths when a system directory is unavailable")
{
    ScriptedPlatform& system = resetPlatform();
    startLog();
    PluginInstance record;
    memset(&record, 0, sizeof record);
    strcpy(record.startIn, "C:\\GAME");
    char path[kPathSize];

    SUBCASE("no system directory")
    {
        system.systemDirectoryFails = true;
        CHECK(resolveManifestPath(&record, "<WINSYS>\\a.dll", path) == 0);
        CHECK(loggedLines() == std::vector<std::string>{"Couldn't GetSystemDirectory"});
    }
    SUBCASE("no Windows directory")
    {
        system.windowsDirectoryFails = true;
        CHECK(resolveManifestPath(&record, "<WINDOWS>\\a.ini", path) == 0);
        CHECK(loggedLines() == std::vector<std::string>{"Couldn't GetWindowsDirectory"});
    }
}

struct Outcome {
    int result;
    std::string checksum;
    int32_t length;
};

static Outcome checkSum()
{
    char slot[kChecksumSize];
    memset(slot, 0x5A, sizeof slot);
    Outcome o;
    o.length = -7;
    o.result = CheckSumFile("C:\\GAME\\a.dat", slot, &o.length);
    o.checksum = std::string(slot, strnlen(slot, sizeof slot));
    return o;
}

TEST_CASE("fingerprints when mapping or releasing fails")
{
    ScriptedPlatform& system = resetPlatform();
    struct Case {
        const char* what;
        bool ScriptedPlatform::*fails;
        int result;
        std::vector<std::string> lastLines;
    };
    const Case cases[] = {
        {"mapping refused", &ScriptedPlatform::mappingFails, 0,
         {"realSize = 3", "CreateFileMapping failed"}},
        {"view refused", &ScriptedPlatform::viewFails, 0, {"realSize = 3", "MapViewOfFile failed"}},
        {"unmapping fails", &ScriptedPlatform::unmapFails, 1,
         {"returned checksum = 12191315543", "UnmapViewOfFile failed"}},
        {"the mapping will not close", &ScriptedPlatform::mappingCloseFails, 1,
         {"returned checksum = 12191315543", "CloseHandle (map) failed"}},
        {"the file will not close", &ScriptedPlatform::fileCloseFails, 1,
         {"returned checksum = 12191315543", "CloseHandle (file) failed"}},
    };
    for (const Case& c : cases) {
        const std::string what = c.what;
        CAPTURE(what);
        resetPlatform();
        system.bytes = "abc";
        system.size = 3;
        system.*c.fails = true;
        startLog();
        Outcome o = checkSum();
        CHECK(o.result == c.result);
        if (c.result) {
            CHECK(o.checksum == "12191315543");
            CHECK(o.length == 11);
        }
        std::vector<std::string> lines = loggedLines();
        REQUIRE(lines.size() >= 2);
        CHECK(std::vector<std::string>(lines.end() - 2, lines.end()) == c.lastLines);
        CHECK(system.handlesOpen == 0);
        CHECK(system.viewsOpen == 0);
    }
}

TEST_CASE("fingerprints over a scripted file")
{
    ScriptedPlatform& system = resetPlatform();
    system.bytes = "abc";
    system.size = 3;
    startLog();

    SUBCASE("a size query that fails")
    {
        system.size = 0xFFFFFFFFu;
        CHECK(checkSum().result == 0);
        CHECK(loggedLines() == std::vector<std::string>{"Awake, about to map file C:\\GAME\\a.dat",
                                                        "realSize = 4294967295",
                                                        "GetFileSize failed"});
        CHECK(system.handlesOpen == 0);
    }
    SUBCASE("a size that is a multiple of 4 GiB has an empty head, not a view of everything")
    {
        system.size = 0;
        Outcome o = checkSum();
        CHECK(o.result == 1);
        CHECK(o.checksum == "42949672950");
        CHECK(system.viewLength == 1);
    }
}
