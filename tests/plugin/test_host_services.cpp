#include <doctest/doctest.h>

#include "fake_browser.h"
#include "host/host_services.h"

TEST_CASE("host services pass calls through to the browser's table")
{
    FakeBrowser& b = installFakeBrowser(9);
    NPP_t npp{};
    b.getUrlResult = 7;
    CHECK(NPN_GetURL(&npp, "page.html", "_top") == 7);
    REQUIRE(b.getUrls.size() == 1);
    CHECK(b.getUrls[0].url == "page.html");
    CHECK(b.getUrls[0].target == "_top");

    b.postResult = 4;
    const char body[] = "abc";
    CHECK(NPN_PostURLNotify(&npp, "ret_objects", nullptr, 4, body, 0, (void*)"2") == 4);
    REQUIRE(b.posts.size() == 1);
    CHECK(b.posts[0].url == "ret_objects");
    CHECK_FALSE(b.posts[0].hasTarget);
    CHECK(b.posts[0].bytes == std::string("abc", 4));
    CHECK(b.posts[0].notifyData == "2");

    void* block = NPN_MemAlloc(10);
    CHECK(block != nullptr);
    NPN_MemFree(block);
    CHECK(b.liveBlocks.empty());

    b.failAllocation = 0;
    CHECK(NPN_MemAlloc(10) == nullptr);
}

TEST_CASE("a post needs a browser of minor version 9 or later")
{
    const char body[] = "x";
    for (uint16_t version : {0x0000, 0x0008, 0x0108}) {
        FakeBrowser& b = installFakeBrowser(version);
        CHECK(NPN_PostURLNotify(nullptr, "u", nullptr, 1, body, 0, nullptr) ==
              NPERR_INCOMPATIBLE_VERSION_ERROR);
        CHECK(b.posts.empty());
        CHECK(NPN_GetURL(nullptr, "u", "_top") == NPERR_NO_ERROR);
    }
    for (uint16_t version : {0x0009, 0x000B, 0x00FF}) {
        FakeBrowser& b = installFakeBrowser(version);
        CHECK(NPN_PostURLNotify(nullptr, "u", nullptr, 1, body, 0, nullptr) == NPERR_NO_ERROR);
        CHECK(b.posts.size() == 1);
    }
}

TEST_CASE("without a service table every service refuses quietly")
{
    installFakeBrowser(9);
    hostTable = nullptr;
    CHECK(NPN_GetURL(nullptr, "u", "_top") == NPERR_GENERIC_ERROR);
    CHECK(NPN_PostURLNotify(nullptr, "u", nullptr, 1, "x", 0, nullptr) == NPERR_GENERIC_ERROR);
    CHECK(NPN_MemAlloc(4) == nullptr);
    NPN_MemFree(nullptr);
    CHECK(NPN_GetJavaEnv() == nullptr);
    CHECK(fakeBrowser().getUrls.empty());
}
