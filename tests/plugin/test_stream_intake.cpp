#include <string.h>

#include <algorithm>

#include <doctest/doctest.h>

#include "exchange/controller.h"
#include "fake_browser.h"
#include "host/instance.h"

static std::string held(const PluginInstance* This)
{
    return std::string(This->data, size_t(This->dataLen));
}

static int32_t write(TestInstance& t, int32_t offset, const std::string& bytes)
{
    std::string copy = bytes;
    return NPP_Write(&t.npp, nullptr, offset, int32_t(copy.size()), &copy[0]);
}

TEST_CASE("NPP_New creates a cleared record and starts a fresh exchange")
{
    installFakeBrowser();
    exchangeState = kAborted;
    TestInstance t;
    REQUIRE(t.created == NPERR_NO_ERROR);
    PluginInstance* This = t.record();
    REQUIRE(This != nullptr);
    CHECK(fakeBrowser().allocationSizes.at(0) == sizeof(PluginInstance));
    CHECK(This->window == nullptr);
    CHECK(This->mode == NP_EMBED);
    CHECK(This->hwnd == nullptr);
    CHECK(This->defaultWindowProc == nullptr);
    CHECK(This->result == nullptr);
    CHECK(exchangeState == kAwaitingManifest);

    CHECK(NPP_New(nullptr, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr) ==
          NPERR_INVALID_INSTANCE_ERROR);

    fakeBrowser().failAllocation = 0;
    NPP_t npp{};
    npp.pdata = &npp;
    CHECK(NPP_New(nullptr, &npp, NP_FULL, 0, nullptr, nullptr, nullptr) ==
          NPERR_OUT_OF_MEMORY_ERROR);
    CHECK(npp.pdata == nullptr);
}

TEST_CASE("stream intake gathers chunks in order")
{
    installFakeBrowser();
    TestInstance t;
    PluginInstance* This = t.record();

    SUBCASE("one chunk at offset 0")
    {
        CHECK(NPP_NewStream(&t.npp, nullptr, nullptr, 0, nullptr) == NPERR_NO_ERROR);
        CHECK(write(t, 0, "game;a.exe\n") == 11);
        CHECK(This->dataLen == 11);
        CHECK(held(This) == "game;a.exe\n");
    }
    SUBCASE("three chunks of 10, 20 and 5 bytes")
    {
        NPP_NewStream(&t.npp, nullptr, nullptr, 0, nullptr);
        std::string a(10, 'a'), b(20, 'b'), c(5, 'c');
        CHECK(write(t, 0, a) == 10);
        CHECK(write(t, 10, b) == 20);
        CHECK(write(t, 30, c) == 5);
        CHECK(held(This) == a + b + c);
        std::vector<std::string> log = logLines();
        CHECK(std::count(log.begin(), log.end(), "Doing a realloc") == 2);
        CHECK(std::find(log.begin(), log.end(), "NPP_Write called; len = 20") != log.end());
    }
    SUBCASE("a new stream replaces the old bytes, and its block is reused or freed")
    {
        NPP_NewStream(&t.npp, nullptr, nullptr, 0, nullptr);
        write(t, 0, std::string(100, 'x'));
        NPP_NewStream(&t.npp, nullptr, nullptr, 0, nullptr);
        CHECK(This->dataLen == 0);
        write(t, 0, "second");
        CHECK(held(This) == "second");
        NPP_NewStream(&t.npp, nullptr, nullptr, 0, nullptr);
        write(t, 0, std::string(5000, 'y'));
        CHECK(held(This) == std::string(5000, 'y'));
        // the record and one stream block, nothing abandoned
        CHECK(fakeBrowser().liveBlocks.size() == 2);
    }
}

TEST_CASE("stream intake refuses bad chunks and keeps what it holds")
{
    installFakeBrowser();
    TestInstance t;
    PluginInstance* This = t.record();
    NPP_NewStream(&t.npp, nullptr, nullptr, 0, nullptr);

    SUBCASE("first chunk announced at offset 100")
    {
        CHECK(write(t, 100, "abc") == -1);
        CHECK(This->dataLen == 0);
        CHECK(logLines().back() == "offset and len mismatch; offset = 100");
    }
    SUBCASE("null buffer")
    {
        CHECK(NPP_Write(&t.npp, nullptr, 0, 3, nullptr) == -1);
        CHECK(logLines().back() == "buffer is NULL");
    }
    SUBCASE("negative length")
    {
        write(t, 0, "keep");
        char byte = 'z';
        CHECK(NPP_Write(&t.npp, nullptr, 4, -5, &byte) == -1);
        CHECK(held(This) == "keep");
        CHECK(logLines().back() == "negative length refused; len = -5");
    }
    SUBCASE("a total past the signed 32-bit range")
    {
        write(t, 0, "keep");
        char byte = 'z';
        CHECK(NPP_Write(&t.npp, nullptr, 4, INT32_MAX - 2, &byte) == -1);
        CHECK(held(This) == "keep");
        CHECK(logLines().back() == "stream too long; refused 2147483645 bytes after 4");
    }
    SUBCASE("the browser has no memory for the first or a later chunk")
    {
        fakeBrowser().failAllocation = 0;
        CHECK(write(t, 0, "abc") == -1);
        CHECK(logLines().back() == "NPN_MemAlloc failed");
        CHECK(This->dataLen == 0);

        write(t, 0, "abc");
        fakeBrowser().failAllocation = 0;
        CHECK(write(t, 3, std::string(64, 'd')) == -1);
        CHECK(logLines().back() == "NPN_MemAlloc failed");
        CHECK(held(This) == "abc");
    }
    SUBCASE("null instance")
    {
        CHECK(NPP_NewStream(nullptr, nullptr, nullptr, 0, nullptr) ==
              NPERR_INVALID_INSTANCE_ERROR);
        char byte = 'z';
        CHECK(NPP_Write(nullptr, nullptr, 0, 1, &byte) == -1);
    }
}

TEST_CASE("NPP_WriteReady accepts any amount, even for a null instance")
{
    installFakeBrowser();
    TestInstance t;
    CHECK(NPP_WriteReady(&t.npp, nullptr) == 268435455);
    CHECK(NPP_WriteReady(nullptr, nullptr) == 268435455);
}

TEST_CASE("many small chunks cost a logarithmic number of allocations")
{
    installFakeBrowser();
    TestInstance t;
    NPP_NewStream(&t.npp, nullptr, nullptr, 0, nullptr);
    std::string expected;
    for (int i = 0; i < 5000; i++) {
        std::string chunk(1 + i % 7, char('a' + i % 26));
        REQUIRE(write(t, int32_t(expected.size()), chunk) == int32_t(chunk.size()));
        expected += chunk;
    }
    CHECK(held(t.record()) == expected);
    CHECK(fakeBrowser().allocationSizes.size() < 30);
}
