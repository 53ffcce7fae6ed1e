// The version check exchange driven from the browser's side, one stream at a
// time, against a service installed in the prefix and a stand-in launcher.
#include <ctype.h>
#include <string.h>

#include <doctest/doctest.h>

#include "command_text.h"
#include "exchange/launch.h"
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
    const std::string header = "Content-Type: application/x-www-form-urlencoded\nContent-Length: ";
    const struct {
        uint16_t version;             // the browser's table version
        std::string stream, request;  // request "": no post
    } cases[] = {
        // no newline: no entries; the "=" of "versions=" gives way to the zero byte
        {9, "iTestGame;a.exe", header + "25\n\n" + std::string("junk=1&number=0&versions\0", 25)},
        {9, "iNoStart;" + many + "\n", header + "78919\n\njunk=1&number=10000&versions=" + pairs},
        // an empty file has a fingerprint like any other: the CRC of no bytes, size 0
        {9, "iTestGame;empty.dat\n\n",
         header + "47\n\n" + std::string("junk=1&number=1&versions=empty.dat=42949672950\0", 47)},
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
        REQUIRE(browser.posts.size() == (c.request.empty() ? 0 : 1));
        if (c.request.empty())
            CHECK(lastLines(1)[0] == "NPN_PostURLNotify Complete, result = 8; total = 111");
        else
            CHECK(browser.posts[0].bytes == c.request);
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
        // The browser's calls: b begin, w write the stream in chunks, e end;
        // upper case for a second stream. The last end's answer is checked.
        std::string calls = "bwe";
    };
    const std::string closed = "no stream is open; end not acted on";
    const Case cases[] = {
        // ended with none ever begun (on the fresh instance): nothing is acted on
        {0, "", 1, 0, "", {destroyed + "0", closed}, NPRES_DONE, -1, "C:\\vk system", "e"},
        // ended twice, it is acted on once (in the first block, so that a second
        // terminator would land behind it)
        {0, "LAUNCH_NOW;iTestGame;-fast 1\n", 1, 3, top,
         {"Path is C:\\vk game", kStart + "-fast 1", kCall, kCalled, aborting, destroyed + "3",
          closed},
         NPRES_DONE, -1, "C:\\vk system", "bwee"},
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
        // two streams at once: the one begun last is acted on, the other not
        {1, "REDIRECT;x.html\n", 0, 2, "x.html _self",
         {destroyed + "1", "not the current stream; end not acted on", destroyed + "1",
          awake + "REDIRECT;x.html'", kCall, kCalled},
         NPRES_DONE, -1, "C:\\vk system", "bwBWeE"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.stream.substr(0, 40));
        if (c.state >= 0)
            exchangeState = c.state;
        PluginInstance* This = t.record();
        strcpy(This->systemPath, c.systemPath);
        browser.getUrls.clear();
        NPStream streams[2]{};
        NPError ended = -1;
        for (char call : c.calls) {
            NPStream* stream = &streams[isupper(call) ? 1 : 0];
            if (tolower(call) == 'b')
                NPP_NewStream(&t.npp, nullptr, stream, 0, nullptr);
            for (size_t at = 0; tolower(call) == 'w' && at < c.stream.size(); at += 3) {
                std::string chunk = c.stream.substr(at, 3);
                NPP_Write(&t.npp, stream, int32_t(at), int32_t(chunk.size()), &chunk[0]);
            }
            if (tolower(call) == 'e') {
                browser.failAllocation = c.failAllocation;
                ended = NPP_DestroyStream(&t.npp, stream, c.reason);
            }
        }

        CHECK(ended == c.result);
        CHECK(exchangeState == c.after);
        CHECK(lastLines(c.logged.size()) == c.logged);
        CHECK(browser.getUrls == (c.navigation.empty() ? Lines{} : Lines{c.navigation}));
        // Only the stream's block is kept, until the next stream; none
        // before the first.
        CHECK((This->result == nullptr && browser.liveBlocks.size() == (c.calls == "e" ? 1 : 2)));
        CHECK(guardsIntact());
        for (const std::string& line : c.logged)
            if (line.rfind(kStart, 0) == 0)
                CHECK(waitForLaunch() == Lines{line.substr(9), "C:\\vk system"});
    }
    CHECK((NPP_Destroy(&t.npp, nullptr) == NPERR_NO_ERROR && browser.liveBlocks.empty()));
    CHECK(guardsIntact());
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
    const int32_t length = 14147;  // a header of 71 bytes and a body of 14076
    for (int64_t size : {capacity, int64_t(length) - 1}) {
        std::string block(size_t(size) + 8, '#');
        int32_t bodyLength = 0;
        CHECK(layOutRequest(&block[0], size, entries.data(), 50, &bodyLength) ==
              (size == capacity ? length : 0));
        CHECK(bodyLength == (size == capacity ? 14076 : 0));
        CHECK(block.substr(size_t(size)) == "########");
    }
    // The launcher's command line: a path without a blank goes unquoted; one
    // too long for its buffer stays within it.
    char line[kCommandLineSize + 8];
    memset(line, '#', sizeof line);
    CHECK(formatProgramLine(line, kCommandLineSize, "C:\\SYS", "vkclient.exe", "A B") == 23);
    CHECK(std::string(line) == "C:\\SYS\\vkclient.exe A B");
    const std::string a300(300, 'a');
    CHECK(formatProgramLine(line, kCommandLineSize, "C:\\SYS", "vkclient.exe", a300.c_str()) == 320);
    CHECK(std::string(line + kCommandLineSize, 8) == "########");
}
