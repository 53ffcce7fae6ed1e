// Install locations and file fingerprints against Wine's own registry,
// profile reader, directories and files.
#include <string.h>

#include <fstream>

#include <doctest/doctest.h>
#include <windows.h>

#include "exchange/fingerprint.h"
#include "exchange/locations.h"
#include "exchange/log.h"
#include "host/instance.h"
#include "prefix_state.h"
#include "wine_files.h"

TEST_CASE("initPaths reads the components key and the game's StartIn")
{
    InstalledService prefix;
    prefix.writeIni("[VelkorNet]\r\nStartIn=C:\\Else\r\n[Blank]\r\nStartIn=\r\n");
    const std::string x255(255, 'x'), x256(256, 'x');
    const std::string noSystem = "RegQueryValueEx (SystemPath) Failed";
    const std::string noPlugin = "RegQueryValueEx (PlugInPath) Failed";
    struct Case {
        std::string system;  // SystemPath's bytes as stored, unterminated
        const char* plugin;  // null: no PlugInPath
        const char* game;
        int result;
        std::string startIn;
        std::string logged;  // the last line; "": none after "In initPaths"
    };
    const Case cases[] = {
        {"", nullptr, "Chess", 0, "", "RegOpenKeyEx Failed"},  // no key at all
        {"", "C:\\P", "Chess", 0, "", noSystem},               // no SystemPath
        // the service's own names need no PlugInPath, yet it must be there
        {"C:\\V", nullptr, "VelkorNet", 0, "", noPlugin},
        {"C:\\V", x256.c_str(), "VelkorNet", 0, "", noPlugin},
        // values are terminated within their field, or refused when there is no room
        {x255, "C:\\P", "VelkorNet", 1, x255, ""},
        {x256, "C:\\P", "VelkorNet", 0, "", noSystem},
        {"C:\\V", "C:\\P", "NoSection", 1, "Error", "Path is Error"},  // no StartIn
        {"C:\\V", "C:\\P", "Blank", 0, "", "GetPrivateProfileString failed"},
        {"C:\\V", "C:\\P", nullptr, 1, "Error", "Path is Error"},  // no INI file at all
    };
    for (const Case& c : cases) {
        CAPTURE(c.logged);
        prefix.removeKey();
        if (!c.system.empty())
            prefix.setValue("SystemPath", c.system, REG_BINARY);
        if (c.plugin)
            prefix.setValue("PlugInPath", c.plugin);
        if (!c.game)
            prefix.writeIni("");
        const std::string game = c.game ? c.game : "Velk";
        openLog();
        PluginInstance record;
        memset(&record, 0xA5, sizeof record);  // stale or unterminated contents show
        CHECK(initPaths(&record, game.c_str()) == c.result);
        if (c.result)  // read up to a terminator: one missing in its field shows
            CHECK(Lines{record.systemPath, record.pluginPath, record.startIn} ==
                  Lines{c.system, c.plugin, c.startIn});
        CHECK(lastLines(1) == Lines{c.logged.empty() ? "In initPaths; got " + game : c.logged});
    }
}

// A 32-bit plug-in on 64-bit Windows reads HKLM\Software\WOW6432Node; a key
// written only where programs of the other width look is not there for it.
TEST_CASE("initPaths does not see a components key in the other width's view")
{
    InstalledService prefix;
    prefix.removeKey();
    const REGSAM otherView = sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    HKEY software, key;
    REQUIRE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | otherView,
                          &software) == ERROR_SUCCESS);
    REQUIRE(RegCreateKeyExA(software, "Velkor Games Online\\Velkor System Components", 0,
                            nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS);
    RegSetValueExA(key, "SystemPath", 0, REG_SZ, (const BYTE*)"C:\\V", 5);
    RegSetValueExA(key, "PlugInPath", 0, REG_SZ, (const BYTE*)"C:\\P", 5);
    RegCloseKey(key);
    openLog();
    PluginInstance record;
    CHECK(initPaths(&record, "VelkorNet") == 0);
    CHECK(lastLines(1) == Lines{"RegOpenKeyEx Failed"});
    RegDeleteTreeA(software, "Velkor Games Online");
    RegCloseKey(software);
}

TEST_CASE("manifest lines resolve within the path buffer")
{
    openLog();
    PluginInstance record;
    strcpy(record.startIn, "C:\\GAME");
    strcpy(record.pluginPath, "C:\\P");
    char dir[MAX_PATH];
    const std::string sys(dir, GetSystemDirectoryA(dir, sizeof dir)), win = windowsDirectory();
    const std::string f251(251, 'f'), t255(255, 't');
    const struct {
        std::string line;
        int result;
        std::string expected;  // the path, or the line a refusal logs
    } cases[] = {
        {"<WINDOWS>a.ini", 1, win + "a.ini"},    // no separator added
        {"<plugin>\\b.dll", 1, "C:\\P\\b.dll"},  // any case
        {"<WIN>x", 1, sys + "x"},  // shortened, it names the first that fits: <WINSYS>
        {"<X>y", 0, "Illegal path"},
        // 259 characters fit; one more is refused, not cut to name another file
        {f251, 1, "C:\\GAME\\" + f251},
        {f251 + "f", 0, "Path too long: C:\\GAME\\" + f251 + "f"},
        {"<PLUGIN>" + t255, 1, "C:\\P" + t255},
        {"<PLUGIN>" + t255 + "t", 0, "Path too long: C:\\P" + t255 + "t"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.line);
        char path[kPathSize + 8];  // a guard behind the path that must stay untouched
        memset(path, 0x5A, sizeof path);
        CHECK(resolveManifestPath(&record, c.line.c_str(), path) == c.result);
        CHECK(std::string(path + kPathSize, 8) == std::string(8, 0x5A));
        CHECK((c.result ? std::string(path) : lastLines(1)[0]) == c.expected);
    }
}

TEST_CASE("a file's fingerprint is the CRC of its head and its size, or 0")
{
    // A file that starts with head and has size bytes: a hole after the head.
    auto makeFile = [](const char* path, const std::string& head, int64_t size) {
        FILE* f = fopen(path, "wb");
        REQUIRE((f && fwrite(head.data(), 1, head.size(), f) == head.size()));
        if (size > int64_t(head.size()))
            CHECK((_fseeki64(f, size - 1, SEEK_SET) == 0 && fputc(0, f) == 0));
        fclose(f);
        return std::string(path);
    };
    const std::string abc = makeFile("C:\\vk abc", "abc", 3), a1024(1024, 'a');
    const std::string notFound = "CreateFile failed assuming file not found; error=";
    const std::string notDisk = "Not a disk file assuming file not found; type=2";
    struct Case {
        std::string path;
        DWORD access, share;  // of a handle another program holds on the file; 0: none
        int result;
        std::string text;  // the fingerprint
        Lines logged;      // every line after "Awake, about to map file <path>"
    };
    const Case cases[] = {
        // a head of exactly 1024 bytes is the whole file; one byte more changes the size only
        {makeFile("C:\\vk 1024", a1024, 1024), 0, 0, 1, "26194053511024",
         {"realSize = 1024", "checksum = 2619405351", "returned checksum = 26194053511024"}},
        {makeFile("C:\\vk 1025", a1024, 1025), 0, 0, 1, "26194053511025",
         {"realSize = 1025", "checksum = 2619405351", "returned checksum = 26194053511025"}},
        // a ten-digit CRC and a ten-digit size: twenty characters, reported whole
        {makeFile("C:\\vk 4e9", a1024, 4000000000LL), 0, 0, 1, "26194053514000000000",
         {"realSize = 4000000000", "checksum = 2619405351",
          "returned checksum = 26194053514000000000"}},
        // the CRC of no bytes, as cksum gives it for an empty file
        {makeFile("C:\\vk empty", "", 0), 0, 0, 1, "42949672950",
         {"realSize = 0", "checksum = 4294967295", "returned checksum = 42949672950"}},
        {"C:\\vk none", 0, 0, 1, "0", {notFound + "2"}},
        {abc, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 1, "0", {notFound + "32"}},
        // a device opens in any directory, with any extension, and is not read
        {"C:\\NUL", 0, 0, 1, "0", {notDisk}},
        {windowsDirectory() + "\\nul.txt", 0, 0, 1, "0", {notDisk}},
        // 0xFFFFFFFF is the size query's failure
        {makeFile("C:\\vk huge", "abc", 0xFFFFFFFFLL), 0, 0, 0, "",
         {"realSize = 4294967295", "GetFileSize failed"}},
    };
    const std::string log = windowsDirectory() + "\\versioning.log";
    for (const Case& c : cases) {
        CAPTURE(c.path);
        HANDLE other = c.access ? CreateFileA(c.path.c_str(), c.access, c.share, nullptr,
                                              OPEN_EXISTING, 0, nullptr)
                                : INVALID_HANDLE_VALUE;
        openLog();
        char slot[kChecksumSize + 8];  // a guard behind the slot that must stay untouched
        memset(slot, 0x5A, sizeof slot);
        int32_t length = -7;
        CHECK(CheckSumFile(c.path.c_str(), slot, &length) == c.result);
        CloseHandle(other);
        CHECK(std::string(slot + kChecksumSize, 8) == std::string(8, 0x5A));
        if (c.result)
            CHECK((slot == c.text && length == int32_t(c.text.size())));
        // The file's bytes behind the first line: whole lines, each ended by CR LF.
        std::string expected = "Awake, about to map file " + c.path + "\r\n";
        for (const std::string& line : c.logged)
            expected += line + "\r\n";
        const std::string bytes = readBinaryFile(log);
        CHECK(bytes.substr(bytes.find('\n') + 1) == expected);
    }
    // Every handle was closed: each file can be removed at once.
    for (const char* path :
         {"C:\\vk abc", "C:\\vk 1024", "C:\\vk 1025", "C:\\vk 4e9", "C:\\vk empty", "C:\\vk huge"})
        CHECK(DeleteFileA(path));
}

// Run by cksum_compare.sh where it left "expected": files, each with the
// fingerprint the cksum utility gives it.
TEST_CASE("fingerprints agree with the cksum utility" * doctest::skip())
{
    std::ifstream list("expected");
    logFile = fopen("NUL", "w");  // no log: the test runs beside others
    int count = 0;
    for (std::string path, expected; list >> path >> expected; count++) {
        CAPTURE(path);
        char checksum[kChecksumSize];
        int32_t length;
        CHECK(std::string(CheckSumFile(path.c_str(), checksum, &length) ? checksum : "failed") ==
              expected);
    }
    CHECK(count > 300);
}
