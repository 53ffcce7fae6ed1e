// The version check exchange driven from the browser's side, one stream at a
// time, against a service installed in the prefix and a stand-in launcher.
#include <ctype.h>
#include <string.h>

#include <array>

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
    const std::string none = header + "25\n\n" + std::string("junk=1&number=0&versions\0", 25);
    const std::string posted = "NPN_PostURLNotify Complete, result = ";
    const std::string deep = "HTTP://Games.Example:80/a/b.html?next=/c/d#e/f", x2100(2100, 'x');
    const struct {
        uint16_t version;             // the browser's table version
        std::string stream, request;  // request "": no post
        std::string url = kTestPage;  // the manifest stream's
        std::string postUrl = "http://games.example/ret_objects";
        std::string logged = "";      // the last line, when nothing is posted
        int after = kAwaitingAnswer;
    } cases[] = {
        // no newline: no entries; the "=" of "versions=" gives way to the zero byte
        {9, "iTestGame;a.exe", none},
        {9, "iNoStart;" + many + "\n", header + "78919\n\njunk=1&number=10000&versions=" + pairs},
        // an empty file has a fingerprint like any other: the CRC of no bytes, size 0
        {9, "iTestGame;empty.dat\n\n",
         header + "47\n\n" + std::string("junk=1&number=1&versions=empty.dat=42949672950\0", 47)},
        // a browser of minor version 8 refuses the post; the exchange goes on
        {8, "iTestGame;a.exe\n\n", "", kTestPage, "", posted + "8; total = 111"},
        // the report goes beside the manifest, wherever the page is
        {9, "iTestGame;a.exe", none, deep, "HTTP://Games.Example:80/a/ret_objects"},
        {9, "iTestGame;a.exe", none, "http://games.example?x", "http://games.example/ret_objects"},
        // a manifest address too long to post beside: nothing is read or posted
        {9, "iTestGame;a.exe\n\n", "", "http://games.example/" + x2100 + "/manifest", "",
         "the manifest's address is too long to post the report beside it; length = 2130",
         kAwaitingManifest},
    };
    for (const auto& c : cases) {
        CAPTURE(c.stream.substr(0, 40));
        FakeBrowser& browser = installFakeBrowser(c.version);
        TestInstance t;
        CHECK(deliverStream(&t.npp, c.stream, 1000, NPRES_DONE, c.url.c_str()) ==
              (c.after == kAwaitingAnswer ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR));
        CHECK(t.record()->exchangeState == c.after);
        // Only the record is left, and the stream's block when not reported.
        CHECK(browser.liveBlocks.size() == (c.after == kAwaitingAnswer ? 1 : 2));
        REQUIRE(browser.posts.size() == (c.request.empty() ? 0 : 1));
        if (c.request.empty())
            CHECK(lastLines(1)[0] == c.logged);
        else
            CHECK((browser.posts[0].bytes == c.request && browser.posts[0].url == c.postUrl));
    }
}

TEST_CASE("every kind of stream in the states that accept it")
{
    FakeBrowser& browser = installFakeBrowser();
    InstalledService service;
    TestInstance t;
    const std::string top = "http://games.example/index.html _top", report = "iTestGame;a.exe\n\n", a231(231, 'a');
    const std::string failed = "performChecksums failed", noClient = "start client failed";
    const std::string early = "stream ended early; not acted on", awake = "Awake -- buffer is '";
    const std::string aborting = "Aborting...", p5000(5000, '%');  // more than any buffer
    const std::string destroyed = "NPP_DestroyStream called; reason = 0, state = ";
    struct Case {
        int state;  // the instance's exchange state before; -1: as the case before left it
        std::string stream;
        NPError result;
        int after;
        std::string navigation;  // "URL TARGET" of the one navigation; "": none
        Lines logged;            // the last lines
        NPReason reason = NPRES_DONE;
        int failAllocation = -1;  // when the stream ends, the n-th allocation from then fails
        const char* systemPath = "C:\\vk system";  // until initPaths reads it anew
        // The browser's calls: b begin, w write the stream in chunks, e end;
        // upper case for a second stream. The last call's answer is checked.
        std::string calls = "bwe";
        std::array<const char*, 2> urls = {{kTestPage, kTestPage}};  // the two streams'
        const char* type = kVersioningType;  // both streams'
    };
    const std::string closed = "no stream is open; end not acted on";
    const char* const sys = "C:\\vk system";
    const std::array<const char*, 2> evil = {{"http://evil.example/check", ""}};
    const std::string begun = "NPP_NewStream called.";
    const std::string refused = "stream from http://evil.example:80 refused: not a trusted server";
    const std::string noAddress =
        "stream refused: its address is missing or not an absolute http or https address";
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
        {0, "ABORT;http://GAMES.example/a%20b.html\n", 0, 3, "http://GAMES.example/a%20b.html _top",
         {destroyed + "0", "Got abort from server -- ABORTING!", kCall, kCalled, aborting}},
        {-1, report, 0, 3, "", {destroyed + "3", aborting}},
        // ... but only to a listed server, whatever the page the stream came from
        {0, "ABORT;http://example.com/a%20b.html\n", 0, 3, "",
         {"Got abort from server -- ABORTING!",
          "navigation to http://example.com:80 refused: not a trusted server", aborting}},
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
        {1, "REDIRECT;a%20b%s%d.html\n", 0, 2, "http://games.example/a%20b%s%d.html _self",
         {awake + "REDIRECT;a%20b%s%d.html'", kCall, kCalled}},
        // addresses resolve beside the stream's own, and go nowhere else
        {1, "REDIRECT;../up.html?q#f\n", 0, 2, "http://games.example/x/../up.html?q#f _self",
         {awake + "REDIRECT;../up.html?q#f'", kCall, kCalled}, NPRES_DONE, -1, sys, "bwe",
         {{"http://games.example/x/check?a=/b", ""}}},
        {1, "REDIRECT;/\\evil.example/x\n", 0, 2, "http://games.example/\\evil.example/x _self",
         {awake + "REDIRECT;/\\evil.example/x'", kCall, kCalled}},
        {1, "REDIRECT;//evil.example/x\n", 0, 2, "",
         {awake + "REDIRECT;//evil.example/x'",
          "navigation to http://evil.example:80 refused: not a trusted server"}},
        {1, "REDIRECT;javascript:alert(1)\n", 0, 2, "",
         {awake + "REDIRECT;javascript:alert(1)'", "navigation refused: not an http or https address"}},
        {1, "REDIRECT;https://games.example/x\n", 0, 2, "",
         {awake + "REDIRECT;https://games.example/x'",
          "navigation to https://games.example:443 refused: not a trusted server"}},
        {1, "REDIRECT;http://games.example@evil.example/\n", 0, 2, "",
         {awake + "REDIRECT;http://games.example@evil.example/'",
          "navigation refused: not an http or https address"}},
        {1, "REDIRECT;" + std::string(2100, 'r') + "\n", 0, 2, "",
         {"navigation refused: the address is too long; length = 2121"}},
        {-1, "REDIRECT;x.html\n", 0, 2, "", {destroyed + "2"}},
        // two streams at once: the one begun last is acted on, the other not
        {1, "REDIRECT;x.html\n", 0, 2, "http://games.example/x.html _self",
         {destroyed + "1", "not the current stream; end not acted on", destroyed + "1",
          awake + "REDIRECT;x.html'", kCall, kCalled},
         NPRES_DONE, -1, "C:\\vk system", "bwBWeE"},
        // a stream from a server the list does not name is refused as it
        // begins, whatever it holds, in any state; nothing of it is acted on
        {0, report, 1, 0, "", {begun, refused}, NPRES_DONE, -1, sys, "b", evil},
        {0, "LAUNCH_NOW;iTestGame;-fast 1\n", 1, 0, "", {begun, refused}, NPRES_DONE, -1, sys,
         "b", evil},
        {1, "ABORT;index.html\n", 1, 1, "", {begun, refused}, NPRES_DONE, -1, sys, "b", evil},
        {1, "REDIRECT;x.html\n", 1, 1, "", {begun, refused}, NPRES_DONE, -1, sys, "b", evil},
        {1, a231 + "\n", 1, 1, "", {begun, refused}, NPRES_DONE, -1, sys, "b", evil},
        // ... also by a browser that writes and ends it all the same
        {0, "ABORT;x\n", 1, 0, "",
         {"NPP_Write called; len = 2", "no stream is open; write refused", destroyed + "0", closed},
         NPRES_DONE, -1, sys, "bwe", evil},
        // ... and the stream that is open stays the one acted on
        {1, "REDIRECT;x.html\n", 0, 2, "http://games.example/x.html _self",
         {begun, refused, destroyed + "1", awake + "REDIRECT;x.html'", kCall, kCalled}, NPRES_DONE,
         -1, sys, "bwBe", {{kTestPage, evil[0]}}},
        // a stream of another type from the listed server is refused alike:
        // an error page or any other document is no message of the exchange
        {0, "ABORT;x\n", 1, 0, "",
         {begun, "stream refused: its type is 'text/html', not application/x-velkor-versioning"},
         NPRES_DONE, -1, sys, "b", {{kTestPage, ""}}, "text/html"},
        {1, "-connect evil.example:7000\n", 1, 1, "",
         {begun, "stream refused: its type is 'text/plain\\r\\nX: 1', not application/x-velkor-versioning"},
         NPRES_DONE, -1, sys, "b", {{kTestPage, ""}}, "text/plain\r\nX: 1"},
        {0, report, 1, 0, "",
         {begun, "stream refused: its type is '(none)', not application/x-velkor-versioning"},
         NPRES_DONE, -1, sys, "b", {{kTestPage, ""}}, nullptr},
        // ... in any case, with parameters
        {1, "REDIRECT;x.html\n", 0, 2, "http://games.example/x.html _self",
         {awake + "REDIRECT;x.html'", kCall, kCalled}, NPRES_DONE, -1, sys, "bwe",
         {{kTestPage, ""}}, "Application/X-Velkor-Versioning ; charset=latin1"},
        // a stream without an address, or with one that is not absolute
        {0, report, 1, 0, "", {begun, noAddress}, NPRES_DONE, -1, sys, "b", {{nullptr, nullptr}}},
        {0, report, 1, 0, "", {begun, noAddress}, NPRES_DONE, -1, sys, "b", {{"check", ""}}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.stream.substr(0, 40));
        PluginInstance* This = t.record();
        if (c.state >= 0)
            This->exchangeState = c.state;
        strcpy(This->systemPath, c.systemPath);
        browser.getUrls.clear();
        NPStream streams[2]{};
        streams[0].url = c.urls[0], streams[1].url = c.urls[1];
        NPError answered = -1;
        for (char call : c.calls) {
            NPStream* stream = &streams[isupper(call) ? 1 : 0];
            if (tolower(call) == 'b')
                answered = NPP_NewStream(&t.npp, const_cast<char*>(c.type), stream, 0, nullptr);
            for (size_t at = 0; tolower(call) == 'w' && at < c.stream.size(); at += 3) {
                std::string chunk = c.stream.substr(at, 3);
                NPP_Write(&t.npp, stream, int32_t(at), int32_t(chunk.size()), &chunk[0]);
            }
            if (tolower(call) == 'e') {
                browser.failAllocation = c.failAllocation;
                answered = NPP_DestroyStream(&t.npp, stream, c.reason);
            }
        }

        CHECK(answered == c.result);
        CHECK(This->exchangeState == c.after);
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

TEST_CASE("the trusted server list, read as an instance is made, decides which streams are taken")
{
    FakeBrowser& browser = installFakeBrowser();
    InstalledService service;
    // kOtherView: only in the registry view of the other width; kBothViews:
    // value in the plug-in's own view, "http://other.example" in the other.
    enum Stored { kNoKey, kNoValue, kValue, kOtherView, kBothViews };
    const std::string list = "https://velkorgames.com http://127.0.0.1:8080";
    const std::string h248(248, 'h'), h249(249, 'h');
    const std::string longest = "http://" + h248 + "/", tooLong = "http://" + h249 + "/";
    const int bits = int(sizeof(void*) * 8);
    const std::string own = " (" + std::to_string(bits) + "-bit registry view)";
    const std::string other = " (" + std::to_string(96 - bits) + "-bit registry view)";
    const std::string trusted = "trusted servers: ", listed = trusted + list + own;
    const std::string open = "no trusted servers set; streams from any server are acted on";
    const std::string noOrigin = "TrustedServers names no valid origin; every stream is refused" + own;
    const std::string noAddress =
        "stream refused: its address is missing or not an absolute http or https address";
    auto skipped = [](const char* entry) {
        return "TrustedServers entry '" + std::string(entry) + "' is not scheme://host[:port]; skipped";
    };
    auto stranger = [](const char* origin) {
        return "stream from " + std::string(origin) + " refused: not a trusted server";
    };
    const struct {
        Stored stored;
        std::string value;
        const char* url;      // the manifest stream's
        std::string postUrl;  // "": the stream is refused
        // After the log's first line: the instance's creation, then for a
        // refused stream the one line of its refusal (after NPP_NewStream's).
        Lines logged;
        unsigned long type = REG_SZ;
    } cases[] = {
        // no list: any stream, the report left for the browser to resolve
        {kNoKey, "", nullptr, "ret_objects", {open}},
        {kNoValue, "", "http://evil.example/", "ret_objects", {open}},
        // the host in any case, the scheme in any case, the default port
        // named or not, nothing or a query after the host
        {kValue, list, "https://VelkorGames.COM/x/y", "https://VelkorGames.COM/x/ret_objects",
         {listed}},
        {kValue, list, "HTTPS://velkorgames.com:443?a=/b", "HTTPS://velkorgames.com:443/ret_objects",
         {listed}},
        {kValue, "HTTPS://VELKORGAMES.COM:443", "https://velkorgames.com", "https://velkorgames.com/ret_objects",
         {trusted + "HTTPS://VELKORGAMES.COM:443" + own}},
        // control characters are logged escaped: no entry splits its line
        {kValue, "\thttp://a.example:80  ", "http://a.example/", "http://a.example/ret_objects",
         {trusted + "\\thttp://a.example:80  " + own}},
        {kValue, "http://a.example\nstream\\x http://a.example", "http://a.example/",
         "http://a.example/ret_objects",
         {skipped("http://a.example\\nstream\\\\x"),
          trusted + "http://a.example\\nstream\\\\x http://a.example" + own}},
        // the list where operators write it on 64-bit Windows, which a
        // plug-in of the other width does not see by itself: read, and said
        {kOtherView, list, "https://velkorgames.com/x", "https://velkorgames.com/ret_objects",
         {trusted + list + other}},
        {kOtherView, list, "https://evil.example/x", "",
         {trusted + list + other, stranger("https://evil.example:443")}},
        // the plug-in's own view, when it has one, is the list
        {kBothViews, list, "http://other.example/", "", {listed, stranger("http://other.example:80")}},
        {kValue, list, "http://127.0.0.1:8080/irampart/", "http://127.0.0.1:8080/irampart/ret_objects",
         {listed}},
        // another scheme or port is another server
        {kValue, list, "http://velkorgames.com/", "", {listed, stranger("http://velkorgames.com:80")}},
        {kValue, list, "https://velkorgames.com:8443/", "",
         {listed, stranger("https://velkorgames.com:8443")}},
        {kValue, list, "https://velkorgames.com:443443/", "", {listed, noAddress}},
        // a longer host is another host, wherever the listed one sits in it
        {kValue, list, "https://evil-velkorgames.com/", "",
         {listed, stranger("https://evil-velkorgames.com:443")}},
        {kValue, list, "https://velkorgames.com.evil.net/", "",
         {listed, stranger("https://velkorgames.com.evil.net:443")}},
        // addresses a browser may read another host out of are none
        {kValue, list, "https://velkorgames.com@evil.net/", "", {listed, noAddress}},
        {kValue, list, "https://evil.net\\@velkorgames.com/", "", {listed, noAddress}},
        {kValue, list, "https://velkorgames.com%2eevil.net/", "", {listed, noAddress}},
        {kValue, list, "file:///C:/velkorgames.com", "", {listed, noAddress}},
        {kValue, list, "/irampart/manifest", "", {listed, noAddress}},
        {kValue, list, nullptr, "", {listed, noAddress}},
        // entries that are not an origin are skipped; with none left the list
        // refuses everything
        {kValue, "https://velkorgames.com/ http://127.0.0.1:8080", "http://127.0.0.1:8080/",
         "http://127.0.0.1:8080/ret_objects",
         {skipped("https://velkorgames.com/"),
          trusted + "https://velkorgames.com/ http://127.0.0.1:8080" + own}},
        {kValue, "https://velkorgames.com/ http://user@a.example ftp://a.example http://a.example:0 "
                 "http://a.example:65536 http://a.example: https://a.example?x http:/a.example",
         "https://velkorgames.com/", "",
         {skipped("https://velkorgames.com/"), skipped("http://user@a.example"),
          skipped("ftp://a.example"), skipped("http://a.example:0"),
          skipped("http://a.example:65536"), skipped("http://a.example:"),
          skipped("https://a.example?x"), skipped("http:/a.example"), noOrigin,
          "stream refused: TrustedServers names no valid origin"}},
        {kValue, "", kTestPage, "", {noOrigin, "stream refused: TrustedServers names no valid origin"}},
        {kValue, " \t ", kTestPage, "", {noOrigin, "stream refused: TrustedServers names no valid origin"}},
        // the longest list the field holds is read whole; one character more
        // is not cut short to another list
        {kValue, "http://" + h248, longest.c_str(),
         "http://" + h248 + "/ret_objects", {trusted + "http://" + h248 + own}},
        {kValue, "http://" + h249, tooLong.c_str(), "",
         {"TrustedServers is longer than 255 characters; every stream is refused" + own,
          "stream refused: TrustedServers is longer than 255 characters"}},
        {kValue, std::string("\x50\0\0\0", 4), kTestPage, "",
         {"TrustedServers is not a string value; every stream is refused" + own,
          "stream refused: TrustedServers is not a string value"},
         REG_DWORD},
    };
    for (const auto& c : cases) {
        CAPTURE(c.value);
        CAPTURE(c.url ? c.url : "(null)");
        if (c.stored == kNoKey)
            service.trustAnyServer();
        else if (c.stored == kNoValue)
            service.trustNoValue();
        else if (c.stored == kOtherView)
            service.trustAnyServer(), service.trustServersInOtherView(c.value);
        else
            service.trustServers(c.value, c.type);
        if (c.stored == kBothViews)
            service.trustServersInOtherView("http://other.example");
        browser.posts.clear();
        TestInstance t;
        CHECK(deliverStream(&t.npp, "iTestGame;a.exe\n\n", 4096, NPRES_DONE, c.url) ==
              (c.postUrl.empty() ? NPERR_GENERIC_ERROR : NPERR_NO_ERROR));
        Lines log = lastLines();
        REQUIRE(log.size() > c.logged.size());
        if (c.postUrl.empty()) {  // the log ends with the refusal: nothing was read
            Lines expected = c.logged;
            expected.insert(expected.end() - 1, "NPP_NewStream called.");
            CHECK(Lines(log.begin() + 1, log.end()) == expected);
            CHECK((browser.posts.empty() && t.record()->exchangeState == kAwaitingManifest));
        } else {
            CHECK(Lines(log.begin() + 1, log.begin() + 1 + long(c.logged.size())) == c.logged);
            REQUIRE(browser.posts.size() == 1);
            CHECK((browser.posts[0].url == c.postUrl && t.record()->exchangeState == kAwaitingAnswer));
        }
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
