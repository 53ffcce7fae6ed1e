#include <string.h>

#include <doctest/doctest.h>

#include "exchange/report.h"
#include "exchange_support.h"
#include "host/instance.h"

// A received stream as the controller leaves it for the report: last byte
// terminated, game name cut off. Returns the manifest's start.
static char* receivedManifest(TestInstance& t, const std::string& bytes)
{
    openStream(t, bytes);
    PluginInstance* This = t.record();
    This->data[This->dataLen - 1] = '\0';
    char* semicolon = strchr(This->data, ';');
    REQUIRE(semicolon != nullptr);
    *semicolon = '\0';
    return semicolon + 1;
}

static const std::string kEmptyReport =
    "Content-Type: application/x-www-form-urlencoded\nContent-Length: 25\n\n" +
    std::string("junk=1&number=0&versions", 24) + '\0';

TEST_CASE("a manifest without a newline is reported with no entries")
{
    FakeBrowser& browser = installFakeBrowser();
    TestInstance t;
    PluginInstance* This = t.record();
    char* manifest = receivedManifest(t, "Game;a.exe");

    REQUIRE(performChecksums(&t.npp, This, manifest) == 1);
    REQUIRE(browser.posts.size() == 1);
    const PostCall& post = browser.posts[0];
    CHECK(post.url == "ret_objects");
    CHECK_FALSE(post.hasTarget);
    CHECK(post.file == 0);
    CHECK(post.notifyData == "2");
    CHECK(post.bytes == kEmptyReport);
    CHECK(post.bytes.size() == 93);

    // The stream's block, the entries and the request are all given back.
    CHECK(This->data == nullptr);
    CHECK(This->dataBlock == nullptr);
    CHECK(This->result == nullptr);
    CHECK(browser.liveBlocks.size() == 1);

    std::vector<std::string> log = logBody();
    REQUIRE(log.size() >= 6);
    CHECK(log[log.size() - 5].rfind("postBufSize is ", 0) == 0);
    CHECK(std::vector<std::string>(log.end() - 4, log.end()) ==
          std::vector<std::string>{"content length is 25", "object count is 0",
                                   "About to NPN_PostURLNotify",
                                   "NPN_PostURLNotify Complete, result = 0; total = 93"});
}

TEST_CASE("a report without memory gives back what it took and keeps the stream")
{
    FakeBrowser& browser = installFakeBrowser();
    TestInstance t;
    PluginInstance* This = t.record();
    struct Row {
        const char* name;
        std::string stream;
        int failAllocation;
        const char* logLine;
    };
    const Row rows[] = {
        {"no block for the entries", "Game;x", 0, "NPP_MemAlloc failed (This->result)"},
        {"no block for the request", "Game;x", 1, "NPP_MemAlloc failed (postBuf)"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.name);
        char* manifest = receivedManifest(t, row.stream);
        char* data = This->data;
        size_t live = browser.liveBlocks.size();
        browser.failAllocation = row.failAllocation;
        CHECK(performChecksums(&t.npp, This, manifest) == 0);
        CHECK(logLines().back() == row.logLine);
        CHECK(browser.liveBlocks.size() == live);
        CHECK(This->result == nullptr);
        CHECK(This->data == data);
        CHECK(browser.posts.empty());
    }
}
