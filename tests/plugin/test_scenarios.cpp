// Whole exchanges against the prefix: the components key, the service INI
// file, a game's files on disk and the stand-in launcher, driven from the
// browser's side one stream at a time.
#include <string.h>

#include <algorithm>

#include <doctest/doctest.h>
#include <windows.h>

#include "exchange/controller.h"
#include "exchange/request.h"
#include "exchange_support.h"
#include "host/instance.h"
#include "prefix_state.h"
#include "wine_files.h"

using Lines = std::vector<std::string>;

static const std::string kHeaderStart =
    "Content-Type: application/x-www-form-urlencoded\nContent-Length: ";

// A service installed as the player's machine would have it: components in
// a directory with a blank, one game with its files, one without StartIn.
struct InstalledService {
    ComponentsKeyGuard key;
    ServiceIniGuard ini;
    LauncherDir system{"vk system"};
    std::string plugins = tempDirectory() + "\\vkplugins";
    std::string game = tempDirectory() + "\\vk game";

    InstalledService()
    {
        key.setString("SystemPath", system.path);
        key.setString("PlugInPath", plugins);
        ini.write("[iTestGame]\r\nEXECUTECount=1\r\nStartIn=" + game +
                  "\r\n[iNoStart]\r\nEXECUTECount=1\r\n");
        CreateDirectoryA(game.c_str(), nullptr);
        writeBinaryFile(game + "\\a.exe", "abc");
        writeBinaryFile(game + "\\b dat", std::string(2000, 'a'));
        writeBinaryFile(game + "\\empty.dat", "");
    }
    ~InstalledService()
    {
        for (const char* name : {"a.exe", "b dat", "empty.dat"})
            removeFile(game + "\\" + name);
        RemoveDirectoryA(game.c_str());
    }
};

// What the intake logs for a stream delivered in chunks of chunkSize.
static Lines intakeLines(size_t length, size_t chunkSize)
{
    Lines lines = {"NPP_NewStream called."};
    for (size_t offset = 0; offset < length; offset += chunkSize) {
        size_t n = std::min(chunkSize, length - offset);
        lines.push_back("NPP_Write called; len = " + std::to_string(n));
        if (offset > 0)
            lines.push_back("Doing a realloc");
    }
    return lines;
}

static void append(Lines& lines, const Lines& more)
{
    lines.insert(lines.end(), more.begin(), more.end());
}

TEST_CASE("a whole exchange: manifest, report, answer, launcher, index.html")
{
    FakeBrowser& browser = installFakeBrowser();
    InstalledService service;
    TestInstance t;

    std::string manifest = "iTestGame;a.exe\nb dat\n\n";
    REQUIRE(deliverStream(&t.npp, manifest, 4) == NPERR_NO_ERROR);
    CHECK(exchangeState == kAwaitingAnswer);

    std::string body = "junk=1&number=2&versions=a.exe=12191315543;b+dat=26194053512000";
    body += '\0';
    REQUIRE(browser.posts.size() == 1);
    const PostCall& post = browser.posts[0];
    CHECK(post.bytes == kHeaderStart + std::to_string(body.size()) + "\n\n" + body);
    CHECK(body.size() == 64);
    CHECK(post.url == "ret_objects");
    CHECK_FALSE(post.hasTarget);
    CHECK(post.file == 0);
    CHECK(post.notifyData == "2");
    // The report gave back the stream, its entries and its request.
    CHECK(browser.liveBlocks.size() == 1);

    std::string answer = "-server games.example.com -port 7000\n";
    expectLaunch();
    REQUIRE(deliverStream(&t.npp, answer, 10) == NPERR_NO_ERROR);
    CHECK(exchangeState == kAnswered);
    std::string commandLine = "\"" + service.system.path + "\\vkclient.exe\" " +
                              "-server games.example.com -port 7000";
    LaunchReport launched = waitForLaunch();
    REQUIRE(launched.arrived);
    CHECK(launched.commandLine == commandLine);
    CHECK(launched.directory == service.system.path);
    REQUIRE(browser.getUrls.size() == 1);
    CHECK(browser.getUrls[0].url == "index.html");
    CHECK(browser.getUrls[0].target == "_top");

    Lines expected = intakeLines(manifest.size(), 4);
    append(expected, {
        "NPP_DestroyStream called; reason = 0, state = 0",
        "game is iTestGame",
        "In initPaths; got iTestGame",
        "Path is " + service.game,
        "postBufSize is " + std::to_string(requestCapacity(2, 10)),
        "Awake, about to map file " + service.game + "\\a.exe",
        "realSize = 3",
        "checksum = 1219131554",
        "returned checksum = 12191315543",
        "Awake, about to map file " + service.game + "\\b dat",
        "realSize = 2000",
        "checksum = 2619405351",
        "returned checksum = 26194053512000",
        "content length is 64",
        "object count is 2",
        "About to NPN_PostURLNotify",
        "NPN_PostURLNotify Complete, result = 0; total = " + std::to_string(post.bytes.size()),
    });
    append(expected, intakeLines(answer.size(), 10));
    append(expected, {
        "NPP_DestroyStream called; reason = 0, state = 1",
        "Awake -- buffer is '-server games.example.com -port 7000'",
        "Starting " + commandLine,
        "Calling NPN_GetURL",
        "NPN_GetURL is complete, result = 0",
    });
    CHECK(logBody() == expected);
}

TEST_CASE("\"LAUNCH_NOW;\" resolves the game and starts the launcher at once")
{
    FakeBrowser& browser = installFakeBrowser();
    InstalledService service;
    TestInstance t;
    std::string program = "\"" + service.system.path + "\\vkclient.exe\" ";

    for (const char* game : {"iTestGame", "VELKORlobby"}) {
        CAPTURE(game);
        exchangeState = kAwaitingManifest;
        browser.getUrls.clear();
        expectLaunch();
        CHECK(deliverStream(&t.npp, std::string("LAUNCH_NOW;") + game + ";-fast 1\n", 7) ==
              NPERR_NO_ERROR);
        CHECK(exchangeState == kAborted);
        LaunchReport launched = waitForLaunch();
        REQUIRE(launched.arrived);
        CHECK(launched.commandLine == program + "-fast 1");
        REQUIRE(browser.getUrls.size() == 1);
        CHECK(browser.getUrls[0].url == "index.html");
        CHECK(logHas(std::string("game is ") + game));
        CHECK(logLines().back() == "Aborting...");
        CHECK(browser.posts.empty());
    }

    SUBCASE("without the components key nothing is started")
    {
        exchangeState = kAwaitingAnswer;
        ComponentsKeyGuard removed;
        browser.getUrls.clear();
        CHECK(deliverStream(&t.npp, "LAUNCH_NOW;iTestGame;-fast\n") == NPERR_GENERIC_ERROR);
        CHECK(exchangeState == kAborted);
        Lines log = logLines();
        CHECK(Lines(log.end() - 2, log.end()) == Lines{"RegOpenKeyEx Failed", "initPaths failed"});
        CHECK(browser.getUrls.empty());
    }
}

TEST_CASE("reports that differ from the usual one")
{
    FakeBrowser& browser = installFakeBrowser();
    InstalledService service;
    TestInstance t;

    SUBCASE("a game without StartIn reports every file as \"0\" without opening it")
    {
        CHECK(deliverStream(&t.npp, "iNoStart;a.exe\nb dat\n\n") == NPERR_NO_ERROR);
        CHECK(exchangeState == kAwaitingAnswer);
        REQUIRE(browser.posts.size() == 1);
        std::string body = std::string("junk=1&number=2&versions=a.exe=0;b+dat=0") + '\0';
        CHECK(browser.posts[0].bytes == kHeaderStart + "41\n\n" + body);
        CHECK(logHas("Path is Error"));
        Lines log = logLines();
        CHECK(std::none_of(log.begin(), log.end(), [](const std::string& line) {
            return line.rfind("Awake, about to map file", 0) == 0;
        }));
    }
    SUBCASE("a missing file is \"0\"; its last line without newline is no entry")
    {
        CHECK(deliverStream(&t.npp, "iTestGame;gone.dll\na.exe") == NPERR_NO_ERROR);
        REQUIRE(browser.posts.size() == 1);
        std::string body = std::string("junk=1&number=1&versions=gone.dll=0") + '\0';
        CHECK(browser.posts[0].bytes == kHeaderStart + "36\n\n" + body);
    }
    SUBCASE("10,000 lines")
    {
        std::string manifest = "iNoStart;";
        std::string pairs;
        for (int i = 0; i < 10000; i++) {
            std::string name = "data\\file " + std::to_string(i) + ".dat";
            manifest += name + "\n";
            std::replace(name.begin(), name.end(), ' ', '+');
            pairs += name + "=0;";
        }
        pairs.back() = '\0';
        CHECK(deliverStream(&t.npp, manifest + "\n", 1000) == NPERR_NO_ERROR);
        REQUIRE(browser.posts.size() == 1);
        std::string body = "junk=1&number=10000&versions=" + pairs;
        CHECK(browser.posts[0].bytes ==
              kHeaderStart + std::to_string(body.size()) + "\n\n" + body);
        CHECK(browser.liveBlocks.size() == 1);
    }
}

TEST_CASE("a browser of minor version 8 refuses the post; the exchange goes on")
{
    FakeBrowser& browser = installFakeBrowser(8);
    InstalledService service;
    TestInstance t;
    CHECK(deliverStream(&t.npp, "iTestGame;a.exe\n\n") == NPERR_NO_ERROR);
    CHECK(exchangeState == kAwaitingAnswer);
    CHECK(browser.posts.empty());
    CHECK(logLines().back() == "NPN_PostURLNotify Complete, result = 8; total = 111");
    CHECK(browser.liveBlocks.size() == 1);
}

TEST_CASE("a manifest that cannot be reported leaves the exchange waiting")
{
    FakeBrowser& browser = installFakeBrowser();
    InstalledService service;
    TestInstance t;
    struct Row {
        const char* name;
        std::string stream;
        Lines lastLines;
    };
    const Row rows[] = {
        {"a name of 300 characters", "iTestGame;a.exe\n" + std::string(300, 'x') + "\n\n",
         {"manifest line 2 too long; length = 300", "performChecksums failed"}},
        {"a zero byte inside a line", std::string("iTestGame;a.e\0xe\n\n", 18),
         {"manifest line 1 holds a zero byte", "performChecksums failed"}},
        {"an unknown path macro", "iNoStart;a.exe\n<X>y\n\n",
         {"Illegal path", "performChecksums failed"}},
        {"an empty file cannot be fingerprinted", "iTestGame;a.exe\nempty.dat\n\n",
         {"CreateFileMapping failed", "CheckSumFile failed", "performChecksums failed"}},
        {"a present but empty StartIn", "iEmptyStart;a.exe\n\n",
         {"GetPrivateProfileString failed", "initPaths failed"}},
    };
    service.ini.write("[iTestGame]\r\nStartIn=" + service.game +
                      "\r\n[iNoStart]\r\nEXECUTECount=1\r\n[iEmptyStart]\r\nStartIn=\r\n");
    for (const Row& row : rows) {
        CAPTURE(row.name);
        exchangeState = kAwaitingManifest;
        CHECK(deliverStream(&t.npp, row.stream, 3) == NPERR_GENERIC_ERROR);
        CHECK(exchangeState == kAwaitingManifest);
        Lines log = logLines();
        REQUIRE(log.size() >= row.lastLines.size());
        CHECK(Lines(log.end() - long(row.lastLines.size()), log.end()) == row.lastLines);
        // Only the record and the stream's block remain.
        CHECK(browser.liveBlocks.size() == 2);
        CHECK(t.record()->result == nullptr);
    }
    CHECK(browser.posts.empty());
}
