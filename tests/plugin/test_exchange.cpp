#include <string.h>

#include <algorithm>

#include <doctest/doctest.h>

#include "exchange/controller.h"
#include "exchange_support.h"
#include "host/instance.h"

using Lines = std::vector<std::string>;

static std::string destroyLine(int reason, int state)
{
    return "NPP_DestroyStream called; reason = " + std::to_string(reason) +
           ", state = " + std::to_string(state);
}

// The log lines written since the given count of lines.
static Lines logFrom(size_t start)
{
    Lines lines = logLines();
    return start < lines.size() ? Lines(lines.begin() + long(start), lines.end()) : Lines();
}

TEST_CASE("\"ABORT;\" sends the top frame away and stops the exchange")
{
    FakeBrowser& browser = installFakeBrowser();
    TestInstance t;
    for (int state : {kAwaitingManifest, kAwaitingAnswer}) {
        CAPTURE(state);
        exchangeState = state;
        browser.getUrls.clear();
        size_t start = logLines().size();
        CHECK(deliverStream(&t.npp, "ABORT;http://example.com/a%20b.html\n", 5) ==
              NPERR_NO_ERROR);
        CHECK(exchangeState == kAborted);
        REQUIRE(browser.getUrls.size() == 1);
        CHECK(browser.getUrls[0].url == "http://example.com/a%20b.html");
        CHECK(browser.getUrls[0].target == "_top");
        CHECK(browser.posts.empty());
        Lines log = logFrom(start);
        Lines tail(log.end() - 5, log.end());
        CHECK(tail == Lines{destroyLine(0, state), "Got abort from server -- ABORTING!",
                            "Calling NPN_GetURL", "NPN_GetURL is complete, result = 0",
                            "Aborting..."});
    }

    SUBCASE("afterwards every stream only logs")
    {
        size_t start = logLines().size();
        CHECK(deliverStream(&t.npp, "REDIRECT;x.html\n") == NPERR_NO_ERROR);
        CHECK(deliverStream(&t.npp, "Game;a.exe\n") == NPERR_NO_ERROR);
        Lines log = logFrom(start);
        CHECK(std::count(log.begin(), log.end(), "Aborting...") == 2);
        CHECK(browser.getUrls.size() == 1);
        CHECK(browser.posts.empty());
    }
    SUBCASE("a browser that refuses the page")
    {
        browser.getUrlResult = NPERR_INVALID_URL;
        CHECK(deliverStream(&t.npp, "ABORT;x\n") == NPERR_NO_ERROR);
        CHECK(logHas("NPN_GetURL is complete, result = 10"));
    }
}

TEST_CASE("a stream cut short is not acted on, whatever it holds")
{
    FakeBrowser& browser = installFakeBrowser();
    TestInstance t;
    for (int state : {kAwaitingManifest, kAwaitingAnswer}) {
        exchangeState = state;
        for (const char* text : {"ABORT;x\n", "LAUNCH_NOW;Game;-a\n", "Game;a.exe\n", "-go\n"}) {
            CAPTURE(std::string(text));
            CHECK(deliverStream(&t.npp, text, 4096, NPRES_NETWORK_ERR) == NPERR_GENERIC_ERROR);
            CHECK(logLines().back() == "stream ended early; not acted on");
        }
        CHECK(exchangeState == state);
    }
    CHECK(browser.getUrls.empty());
    CHECK(browser.posts.empty());
}

TEST_CASE("the server's answer redirects our frame, then later streams are ignored")
{
    FakeBrowser& browser = installFakeBrowser();
    TestInstance t;
    exchangeState = kAwaitingAnswer;
    CHECK(deliverStream(&t.npp, "REDIRECT;news.html?a=1\n", 3) == NPERR_NO_ERROR);
    CHECK(exchangeState == kAnswered);
    REQUIRE(browser.getUrls.size() == 1);
    CHECK(browser.getUrls[0].url == "news.html?a=1");
    CHECK(browser.getUrls[0].target == "_self");
    CHECK(logHas("Awake -- buffer is 'REDIRECT;news.html?a=1'"));

    size_t start = logLines().size();
    CHECK(deliverStream(&t.npp, "Game;a.exe\n") == NPERR_NO_ERROR);
    CHECK(deliverStream(&t.npp, "REDIRECT;other.html\n") == NPERR_NO_ERROR);
    CHECK(browser.getUrls.size() == 1);
    CHECK(browser.posts.empty());
    CHECK(exchangeState == kAnswered);
    Lines log = logFrom(start);
    CHECK(log == Lines{"NPP_NewStream called.", "NPP_Write called; len = 11",
                       destroyLine(0, kAnswered), "NPP_NewStream called.",
                       "NPP_Write called; len = 20", destroyLine(0, kAnswered)});
}

TEST_CASE("any other answer is the launcher's argument text")
{
    FakeBrowser& browser = installFakeBrowser();
    TestInstance t;
    LauncherDir dir("vkexchange");
    struct Row {
        const char* name;
        std::string stream;
        std::string arguments;
    };
    const Row rows[] = {
        {"arguments", "-server a -port 7\n", "-server a -port 7"},
        {"keywords are case-sensitive", "abort;x.html\n", "abort;x.html"},
        {"LAUNCH without its keyword", "LAUNCH_NOWgame;x\n", "LAUNCH_NOWgame;x"},
        {"a single byte is empty text", "Z", ""},
        {"no bytes at all", "", ""},
        {"the last character goes when there is no newline", "-go", "-g"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.name);
        exchangeState = kAwaitingAnswer;
        strcpy(t.record()->systemPath, dir.path.c_str());
        browser.getUrls.clear();
        expectLaunch();
        CHECK(deliverStream(&t.npp, row.stream) == NPERR_NO_ERROR);
        CHECK(exchangeState == kAnswered);
        LaunchReport report = waitForLaunch();
        REQUIRE(report.arrived);
        CHECK(report.commandLine == dir.path + "\\vkclient.exe " + row.arguments);
        CHECK(logHas("Awake -- buffer is '" + row.arguments + "'"));
        REQUIRE(browser.getUrls.size() == 1);
        CHECK(browser.getUrls[0].url == "index.html");
    }

    SUBCASE("a launch that fails still answers the stream")
    {
        exchangeState = kAwaitingAnswer;
        std::string arguments(5000, 'a');
        browser.getUrls.clear();
        CHECK(deliverStream(&t.npp, arguments + "\n", 1000) == NPERR_NO_ERROR);
        CHECK(exchangeState == kAnswered);
        CHECK(browser.getUrls.empty());
        Lines log = logLines();
        REQUIRE(log.size() >= 3);
        CHECK(Lines(log.end() - 3, log.end()) ==
              Lines{"Awake -- buffer is '" + arguments + "'",
                    "command line too long; length = " +
                        std::to_string(dir.path.size() + 14 + 5000),
                    "start client failed"});
    }
}

TEST_CASE("malformed commands fail with their log line")
{
    FakeBrowser& browser = installFakeBrowser();
    TestInstance t;

    SUBCASE("a launch command without the game's \";\" still stops the exchange")
    {
        CHECK(deliverStream(&t.npp, "LAUNCH_NOW;GameOnly\n") == NPERR_GENERIC_ERROR);
        CHECK(exchangeState == kAborted);
        Lines log = logBody();
        CHECK(Lines(log.end() - 2, log.end()) ==
              Lines{"Got launch now -- starting client", "couldn't find semi for end of game name"});
    }
    SUBCASE("a manifest without \";\" leaves the exchange waiting for one")
    {
        CHECK(deliverStream(&t.npp, "Game a.exe\n") == NPERR_GENERIC_ERROR);
        CHECK(exchangeState == kAwaitingManifest);
        CHECK(logLines().back() == "couldn't find semi for end of game name");
        CHECK(deliverStream(&t.npp, "") == NPERR_GENERIC_ERROR);
        CHECK(deliverStream(&t.npp, std::string("\0;\n", 3)) == NPERR_GENERIC_ERROR);
        CHECK(exchangeState == kAwaitingManifest);
    }
    SUBCASE("a stream without bytes touches no earlier block")
    {
        // The failed launch command left data 11 bytes into its block.
        deliverStream(&t.npp, "LAUNCH_NOW;GameOnly\n");
        PluginInstance* This = t.record();
        REQUIRE(This->data == This->dataBlock + 11);
        std::string before(This->dataBlock, 20);
        CHECK(deliverStream(&t.npp, "") == NPERR_NO_ERROR);
        CHECK(std::string(This->dataBlock, 20) == before);
        CHECK(logLines().back() == "Aborting...");
    }
    SUBCASE("a null instance")
    {
        CHECK(NPP_DestroyStream(nullptr, nullptr, NPRES_DONE) == NPERR_INVALID_INSTANCE_ERROR);
        NPP_t empty{};
        CHECK(NPP_DestroyStream(&empty, nullptr, NPRES_DONE) == NPERR_INVALID_INSTANCE_ERROR);
    }
    CHECK(browser.posts.empty());
    CHECK(browser.getUrls.empty());
}
