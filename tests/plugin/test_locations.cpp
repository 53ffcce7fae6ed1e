// Install locations against Wine's own registry, profile reader and
// directories.
#include <string.h>

#include <string>

#include <doctest/doctest.h>
#include <windows.h>

#include "exchange/locations.h"
#include "exchange/log.h"
#include "fake_browser.h"
#include "host/instance.h"
#include "prefix_state.h"
#include "wine_files.h"

static std::string systemDirectory()
{
    char dir[MAX_PATH];
    UINT n = GetSystemDirectoryA(dir, sizeof dir);
    return std::string(dir, n < sizeof dir ? n : 0);
}

// A record whose path fields hold a pattern, so stale or unterminated
// contents show.
static PluginInstance patternedRecord()
{
    PluginInstance record;
    memset(&record, 0xA5, sizeof record);
    return record;
}

// The log after the opening line.
static std::vector<std::string> messages()
{
    std::vector<std::string> lines = logLines();
    if (!lines.empty())
        lines.erase(lines.begin());
    return lines;
}

static std::string lastMessage()
{
    std::vector<std::string> lines = messages();
    return lines.empty() ? "(nothing logged)" : lines.back();
}

TEST_CASE("initPaths reads the components key")
{
    ServiceIniGuard ini;
    ComponentsKeyGuard key;
    PluginInstance record = patternedRecord();

    const char* const absent = nullptr;
    const std::string p300(300, 'p');
    struct Case {
        const char* what;
        const char* systemPath;  // absent: no such value
        const char* pluginPath;
        const char* game;
        std::string lastLine;
    };
    const Case cases[] = {
        {"no SystemPath", absent, "C:\\Plug", "chess", "RegQueryValueEx (SystemPath) Failed"},
        // the service's own names need no PlugInPath either, yet it must be there
        {"no PlugInPath", "C:\\Velkor", absent, "VelkorNet", "RegQueryValueEx (PlugInPath) Failed"},
        {"PlugInPath too long", "C:\\Velkor", p300.c_str(), "chess",
         "RegQueryValueEx (PlugInPath) Failed"},
    };
    for (const Case& c : cases) {
        const std::string what = c.what;
        CAPTURE(what);
        key.create();
        if (c.systemPath)
            key.setString("SystemPath", c.systemPath);
        if (c.pluginPath)
            key.setString("PlugInPath", c.pluginPath);
        openLog();
        CHECK(initPaths(&record, c.game) == 0);
        CHECK(lastMessage() == c.lastLine);
        key.remove();
    }

    openLog();
    CHECK(initPaths(&record, "chess") == 0);
    CHECK(messages() == std::vector<std::string>{"In initPaths; got chess", "RegOpenKeyEx Failed"});

    key.setString("SystemPath", "C:\\Velkor");
    key.setString("PlugInPath", "C:\\Program Files\\Browser\\Plugins");
    CHECK(initPaths(&record, "chess") == 1);
    CHECK(std::string(record.systemPath) == "C:\\Velkor");
    CHECK(std::string(record.pluginPath) == "C:\\Program Files\\Browser\\Plugins");
}

TEST_CASE("registry values are terminated within their field")
{
    ServiceIniGuard ini;
    ComponentsKeyGuard key;
    key.setString("PlugInPath", "C:\\Plug");
    openLog();

    struct Case {
        const char* what;
        std::string bytes;
        unsigned long type;
        int result;
        std::string systemPath;
    };
    const std::string x255(255, 'x'), x256(256, 'x');
    const Case cases[] = {
        // 0: binary bytes come back without a terminator
        {"short, unterminated", "C:\\SYS", REG_BINARY, 1, "C:\\SYS"},
        // 1: room for the terminator after the last byte
        {"255 bytes, unterminated", x255, REG_BINARY, 1, x255},
        // 2: fills the field: there is no room for a terminator
        {"256 bytes, unterminated", x256, REG_BINARY, 0, ""},
        // 3: a string that fits exactly with its terminator
        {"255 characters and terminator", x255 + '\0', REG_SZ, 1, x255},
        // 4: one character more: the registry refuses it
        {"256 characters and terminator", x256 + '\0', REG_SZ, 0, ""},
        // 5: a string stored without its terminator
        {"string without terminator", "C:\\SYS", REG_SZ, 1, "C:\\SYS"},
        // 6: an empty value
        {"empty", "", REG_BINARY, 1, ""},
        // 7: bytes after an inner terminator are not part of the text
        {"inner terminator", std::string("C:\\A\0junk", 9), REG_BINARY, 1, "C:\\A"},
    };
    for (const Case& c : cases) {
        const std::string what = c.what;
        CAPTURE(what);
        key.setValue("SystemPath", c.bytes, c.type);
        PluginInstance record = patternedRecord();
        CHECK(initPaths(&record, "VelkorNet") == c.result);
        CHECK(memchr(record.systemPath, '\0', sizeof record.systemPath) != nullptr);
        if (c.result) {
            CHECK(std::string(record.systemPath) == c.systemPath);
            CHECK(std::string(record.startIn) == c.systemPath);
        } else {
            CHECK(lastMessage() == "RegQueryValueEx (SystemPath) Failed");
        }
    }
}

TEST_CASE("initPaths finds a game's directory")
{
    ServiceIniGuard ini;
    ComponentsKeyGuard key;
    key.setString("SystemPath", "C:\\Velkor");
    key.setString("PlugInPath", "C:\\Plug");
    ini.write("[VelkorNet]\r\nStartIn=C:\\Elsewhere\r\n"
              "[Velk]\r\nStartIn=C:\\Games\\Velk\r\n"
              "[Chess]\r\nEXECUTECount=1\r\nStartIn=C:\\Games\\Chess\r\n"
              "[Literal]\r\nStartIn=Error\r\n"
              "[Blank]\r\nStartIn=\r\n"
              "[NoStart]\r\nEXECUTECount=2\r\n");
    openLog();
    PluginInstance record = patternedRecord();

    SUBCASE("the service's own names start in the system directory, without the INI file")
    {
        for (const char* game : {"VelkorNet", "VELKORnet", "velkor", "Velkor Lobby"}) {
            const std::string shown = game;
            CAPTURE(shown);
            openLog();
            CHECK(initPaths(&record, game) == 1);
            CHECK(std::string(record.startIn) == "C:\\Velkor");
            CHECK(messages() == std::vector<std::string>{std::string("In initPaths; got ") + game});
        }
    }
    SUBCASE("a name shorter than the prefix is a game like any other")
    {
        CHECK(initPaths(&record, "Velk") == 1);
        CHECK(std::string(record.startIn) == "C:\\Games\\Velk");
        CHECK(lastMessage() == "Path is C:\\Games\\Velk");
    }
    SUBCASE("section names match without regard to case")
    {
        CHECK(initPaths(&record, "CHESS") == 1);
        CHECK(std::string(record.startIn) == "C:\\Games\\Chess");
        CHECK(messages() == std::vector<std::string>{"In initPaths; got CHESS",
                                                     "Path is C:\\Games\\Chess"});
    }
    SUBCASE("no StartIn gives Error, the same as a StartIn of Error")
    {
        for (const char* game : {"NoStart", "NoSection", "Literal"}) {
            const std::string shown = game;
            CAPTURE(shown);
            CHECK(initPaths(&record, game) == 1);
            CHECK(std::string(record.startIn) == "Error");
            CHECK(lastMessage() == "Path is Error");
        }
    }
    SUBCASE("no INI file gives Error")
    {
        ini.remove();
        CHECK(initPaths(&record, "Chess") == 1);
        CHECK(std::string(record.startIn) == "Error");
        CHECK(lastMessage() == "Path is Error");
    }
    SUBCASE("an empty StartIn fails")
    {
        CHECK(initPaths(&record, "Blank") == 0);
        CHECK(lastMessage() == "GetPrivateProfileString failed");
    }
}

TEST_CASE("manifest lines resolve against the game's and the system's directories")
{
    openLog();
    PluginInstance record = patternedRecord();
    strcpy(record.startIn, "C:\\GAME");
    strcpy(record.pluginPath, "C:\\P");
    const std::string sys = systemDirectory(), win = windowsDirectory();
    REQUIRE(!sys.empty());
    REQUIRE(!win.empty());

    struct Case {
        const char* line;
        std::string path;
    };
    const Case cases[] = {
        {"data\\a.dat", "C:\\GAME\\data\\a.dat"},  // 0: one backslash between
        {"", "C:\\GAME\\"},                        // 1: an empty line still gets it
        {"a>b", "C:\\GAME\\a>b"},                  // 2: '>' means nothing in a plain line
        {"name\r", "C:\\GAME\\name\r"},            // 3: nothing is trimmed
        {"<WINDOWS>\\a.ini", win + "\\a.ini"},     // 4
        {"<WINDOWS>a.ini", win + "a.ini"},         // 5: no separator added
        {"<plugin>\\b.dll", "C:\\P\\b.dll"},       // 6: any case
        {"<PLUG>\\b.dll", "C:\\P\\b.dll"},         // 7: a macro may be shortened
        {"<WINSYS>\\k.dll", sys + "\\k.dll"},      // 8
        {"<winsys>", sys},                         // 9
        {"<WIN>x", sys + "x"},                     // 10: the first row that fits wins
        {"<>x", sys + "x"},                        // 11
        {"<PLUGIN>>x", "C:\\P>x"},                 // 12: only the first '>' closes
    };
    for (const Case& c : cases) {
        const std::string line = c.line;
        CAPTURE(line);
        char path[kPathSize];
        memset(path, 0x5A, sizeof path);
        CHECK(resolveManifestPath(&record, c.line, path) == 1);
        CHECK(std::string(path) == c.path);
    }

    for (const char* line : {"<X>y", "<abc", "<WINSYSTEM>\\a", "<WINDOWSX>\\a", "<PLUGINS>", "<"}) {
        const std::string shown = line;
        CAPTURE(shown);
        char path[kPathSize];
        CHECK(resolveManifestPath(&record, line, path) == 0);
        CHECK(lastMessage() == "Illegal path");
    }
}

TEST_CASE("a resolved path that does not fit is refused, not shortened")
{
    openLog();
    PluginInstance record = patternedRecord();
    const std::string startIn(200, 'd');
    strcpy(record.startIn, startIn.c_str());
    const std::string plugin(250, 'p');
    strcpy(record.pluginPath, plugin.c_str());

    // Room for the path and a guard behind it that must stay untouched.
    char buffer[kPathSize + 8];
    auto resolve = [&](const std::string& line) {
        memset(buffer, 0x5A, sizeof buffer);
        return resolveManifestPath(&record, line.c_str(), buffer);
    };
    auto guardIntact = [&] {
        for (size_t i = kPathSize; i < sizeof buffer; i++)
            if (buffer[i] != 0x5A)
                return false;
        return true;
    };

    SUBCASE("plain lines")
    {
        const std::string fits(kPathSize - 1 - startIn.size() - 1, 'f');
        CHECK(resolve(fits) == 1);
        CHECK(std::string(buffer) == startIn + "\\" + fits);
        CHECK(guardIntact());

        CHECK(resolve(fits + "g") == 0);
        CHECK(buffer[0] == '\0');
        CHECK(guardIntact());
        CHECK(lastMessage() == "Path too long: " + startIn + "\\" + fits + "g");

        // A whole manifest line of the report's size.
        CHECK(resolve(std::string(259, 'L')) == 0);
        CHECK(guardIntact());
    }
    SUBCASE("macro lines")
    {
        const std::string fits(kPathSize - 1 - plugin.size(), 't');
        CHECK(resolve("<PLUGIN>" + fits) == 1);
        CHECK(std::string(buffer) == plugin + fits);

        CHECK(resolve("<PLUGIN>" + fits + "u") == 0);
        CHECK(guardIntact());
        CHECK(lastMessage() == "Path too long: " + plugin + fits + "u");

        const std::string win = windowsDirectory();
        CHECK(resolve("<WINDOWS>" + std::string(kPathSize - win.size(), 'w')) == 0);
        CHECK(guardIntact());
        CHECK(resolve("<WINDOWS>" + std::string(kPathSize - 1 - win.size(), 'w')) == 1);
    }
}
