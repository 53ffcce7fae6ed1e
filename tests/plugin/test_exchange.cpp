// The version check exchange driven from the browser's side, one stream at a
// time, against a service installed in the prefix and a stand-in launcher.
#include <string.h>

#include <doctest/doctest.h>

#include "exchange/command_line.h"
#include "exchange/controller.h"
#include "exchange/request.h"
#include "host/instance.h"
#include "prefix_state.h"

static const std::string kStart = "Starting \"C:\\vk system\\vkclient.exe\" ";
static const std::string kCall = "Calling NPN_GetURL";
static const std::string kCalled = "NPN_GetURL is complete, result = 0";

TEST_CASE("reports of manifests that differ from the usual one")
{
    InstalledService service;
    std::string many, pairs;  // 10,000 lines
    for (int i = 0; i < 10000; i++)
        many += "f" + std::to_string(i) + "\n", pairs += "f" + std::to_string(i) + "=0;";
    pairs.back() = '\0';
    const struct {
        uint16_t version;          // the browser's table version
        std::string stream, body;  // body "": no post
    } cases[] = {
        // no newline: no entries; the "=" of "versions=" gives way to the zero byte
        {9, "iTestGame;a.exe", std::string("junk=1&number=0&versions\0", 25)},
        {9, "iNoStart;" + many + "\n", "junk=1&number=10000&versions=" + pairs},
        // an empty file has a fingerprint like any other: the CRC of no bytes, size 0
        {9, "iTestGame;empty.dat\n\n",
         std::string("junk=1&number=1&versions=empty.dat=42949672950\0", 47)},
        // a browser of minor version 8 refuses the post; the exchange goes on
        {8, "iTestGame;a.exe\n\n", ""},
    };
    for (const auto& c : cases) {
        CAPTURE(c.stream.substr(0, 40));
        FakeBrowser& browser = installFakeBrowser(c.version);
        TestInstance t;
        CHECK(deliverStream(&t.npp, c.stream, 1000) == NPERR_NO_ERROR);
        CHECK(exchangeState == kAwaitingAnswer);
        CHECK(browser.liveBlocks.size() == 1);
        REQUIRE(browser.posts.size() == (c.body.empty() ? 0 : 1));
        if (c.body.empty())
            CHECK(lastLines(1)[0] == "NPN_PostURLNotify Complete, result = 8; total = 111");
        else
            CHECK(browser.posts[0].bytes ==
                  "Content-Type: application/x-www-form-urlencoded\nContent-Length: " +
                      std::to_string(c.body.size()) + "\n\n" + c.body);
    }
}

TEST_CASE("every kind of stream in the states that accept it")
{
    FakeBrowser& browser = installFakeBrowser();
    InstalledService service;
    TestInstance t;
    const std::string top = "index.html _top", report = "iTestGame;a.exe\n\n", a231(231, 'a');
    const std::string failed = "performChecksums failed", noClient = "start client failed";
    const std::string early = "stream ended early; not acted on", awake = "Awake -- buffer is '";
    const std::string aborting = "Aborting...", p5000(5000, '%');  // more than any buffer
    const std::string destroyed = "NPP_DestroyStream called; reason = 0, state = ";
    struct Case {
        int state;  // exchangeState before; -1: as the case before left it
        std::string stream;
        NPError result;
        int after;
        std::string navigation;  // "URL TARGET" of the one navigation; "": none
        Lines logged;            // the last lines
        NPReason reason = NPRES_DONE;
        int failAllocation = -1;  // when the stream ends, the n-th allocation from then fails
        const char* systemPath = "C:\\vk system";  // until initPaths reads it anew
    };
    const Case cases[] = {
        // "ABORT;" sends the top frame away; afterwards every stream only logs
        {0, "ABORT;http://example.com/a%20b.html\n", 0, 3, "http://example.com/a%20b.html _top",
         {destroyed + "0", "Got abort from server -- ABORTING!", kCall, kCalled, aborting}},
        {-1, report, 0, 3, "", {destroyed + "3", aborting}},
        // a launch command resolves the game and starts the launcher
        {0, "LAUNCH_NOW;iTestGame;-fast 1\n", 0, 3, top,
         {"Got launch now -- starting client", "game is iTestGame", "In initPaths; got iTestGame",
          "Path is C:\\vk game", kStart + "-fast 1", kCall, kCalled, aborting}},
        // manifests that cannot be reported leave the exchange waiting for one
        {0, "Game a.exe\n", 1, 0, "", {"couldn't find semi for end of game name"}},
        {0, "iTestGame;a.exe\n" + std::string(300, 'x') + "\n\n", 1, 0, "",
         {"manifest line 2 too long; length = 300", failed}},
        {0, std::string("iTestGame;a.e\0xe\n\n", 18), 1, 0, "",
         {"manifest line 1 holds a zero byte", failed}},
        {0, "iEmptyStart;a\n\n", 1, 0, "", {"GetPrivateProfileString failed", "initPaths failed"}},
        {0, report, 1, 0, "", {"NPP_MemAlloc failed (This->result)", failed}, NPRES_DONE, 0},
        {0, report, 1, 0, "", {"NPP_MemAlloc failed (postBuf)", failed}, NPRES_DONE, 1},
        // a stream cut short is not acted on, whatever it holds
        {0, report, 1, 0, "", {early}, NPRES_NETWORK_ERR},
        {1, "LAUNCH_NOW;iTestGame;-a\n", 1, 1, "", {early}, NPRES_USER_BREAK},
        // any other answer to the report is the launcher's argument text
        {1, a231 + "\n", 0, 2, top, {kStart + a231, kCall, kCalled}},  // 259 characters fit
        {1, a231 + "a\n", 0, 2, "", {"command line too long; length = 260", noClient}},
        {1, p5000 + "\n", 0, 2, "",
         {awake + p5000 + "'", "command line too long; length = 5028", noClient}},
        {1, "A B\n", 0, 2, "", {"CreateProcess failed; 2", noClient}, NPRES_DONE, -1,
         "C:\\windows"},
        // "REDIRECT;" loads our own frame; a third stream is then ignored
        {1, "REDIRECT;a%20b%s%d.html\n", 0, 2, "a%20b%s%d.html _self",
         {awake + "REDIRECT;a%20b%s%d.html'", kCall, kCalled}},
        {-1, "REDIRECT;x.html\n", 0, 2, "", {destroyed + "2"}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.stream.substr(0, 40));
        if (c.state >= 0)
            exchangeState = c.state;
        PluginInstance* This = t.record();
        strcpy(This->systemPath, c.systemPath);
        browser.getUrls.clear();
        NPStream stream{};
        NPP_NewStream(&t.npp, nullptr, &stream, 0, nullptr);
        for (size_t at = 0; at < c.stream.size(); at += 3) {
            std::string chunk = c.stream.substr(at, 3);
            NPP_Write(&t.npp, &stream, int32_t(at), int32_t(chunk.size()), &chunk[0]);
        }
        browser.failAllocation = c.failAllocation;

        CHECK(NPP_DestroyStream(&t.npp, &stream, c.reason) == c.result);
        CHECK(exchangeState == c.after);
        CHECK(lastLines(c.logged.size()) == c.logged);
        CHECK(browser.getUrls == (c.navigation.empty() ? Lines{} : Lines{c.navigation}));
        // Only the stream's block is kept, until the next stream.
        CHECK((This->result == nullptr && browser.liveBlocks.size() == 2));
        for (const std::string& line : c.logged)
            if (line.rfind(kStart, 0) == 0)
                CHECK(waitForLaunch() == Lines{line.substr(9), "C:\\vk system"});
    }
}

TEST_CASE("blocks built from the server's text stay within their size")
{
    // The request: the longest names with the longest fingerprints fit its
    // block; one byte less is refused.
    VersionEntry entry;
    memset(entry.name, ' ', 259);
    entry.name[259] = '\0';
    strcpy(entry.checksum, "42949672954294967295");
    std::vector<VersionEntry> entries(50, entry);
    const int64_t capacity = requestCapacity(50, 50 * 259);
    const int32_t length = 66 + 10 + 24 + 2 + 50 * (259 + 20 + 2);  // header, body, pairs
    for (int64_t size : {capacity, int64_t(length) - 1}) {
        std::string block(size_t(size) + 8, '#');
        CHECK(layOutRequest(&block[0], size, entries.data(), 50, "50", 2147483647) ==
              (size == capacity ? length : 0));
        CHECK(block.substr(size_t(size)) == "########");
    }
    // The launcher's command line: a path without a blank goes unquoted; one
    // too long for its buffer stays within it.
    char line[kCommandLineSize + 8];
    memset(line, '#', sizeof line);
    CHECK(buildCommandLine(line, kCommandLineSize, "C:\\SYS", "A B") == 23);
    CHECK(std::string(line) == "C:\\SYS\\vkclient.exe A B");
    const std::string a300(300, 'a');
    CHECK(buildCommandLine(line, kCommandLineSize, "C:\\SYS", a300.c_str()) == 320);
    CHECK(std::string(line + kCommandLineSize, 8) == "########");
}
