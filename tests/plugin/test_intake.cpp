// Instance creation and stream intake, driven from the browser's side; the
// log is read back from the prefix's Windows directory.
#include <doctest/doctest.h>

#include "exchange/controller.h"
#include "fake_browser.h"
#include "host/instance.h"

static std::string held(TestInstance& t)
{
    return std::string(t.record()->data, size_t(t.record()->dataLen));
}

static int32_t write(TestInstance& t, int32_t offset, std::string bytes)
{
    return NPP_Write(&t.npp, nullptr, offset, int32_t(bytes.size()), &bytes[0]);
}

TEST_CASE("a stream is gathered into one growing block")
{
    installFakeBrowser();
    exchangeState = kAborted;
    TestInstance t;
    REQUIRE(t.created == NPERR_NO_ERROR);
    CHECK(exchangeState == kAwaitingManifest);  // each instance starts a new exchange

    NPP_NewStream(&t.npp, nullptr, nullptr, 0, nullptr);
    std::string expected;
    for (int i = 0; i < 5000; i++) {
        std::string chunk(1 + i % 7, char('a' + i % 26));
        REQUIRE(write(t, int32_t(expected.size()), chunk) == int32_t(chunk.size()));
        expected += chunk;
    }
    CHECK((held(t) == expected && fakeBrowser().allocationSizes.size() < 30));
    NPP_NewStream(&t.npp, nullptr, nullptr, 0, nullptr);  // starts over in the same block
    CHECK((write(t, 0, "second") == 6 && held(t) == "second"));
    CHECK((NPP_Destroy(&t.npp, nullptr) == NPERR_NO_ERROR && fakeBrowser().liveBlocks.empty()));
}

TEST_CASE("stream intake refuses a bad chunk with one log line and keeps what it holds")
{
    const struct {
        const char* before;  // held already
        int32_t offset, len;
        bool noBuffer, noMemory;
        const char* logLine;
    } rows[] = {
        {"", 100, 3, false, false, "offset and len mismatch; offset = 100"},
        {"keep", 4, -5, false, false, "negative length refused; len = -5"},
        {"keep", 4, INT32_MAX - 2, false, false,
         "stream too long; refused 2147483645 bytes after 4"},
        {"abc", 3, 64, false, true, "NPN_MemAlloc failed"},
    };
    for (const auto& row : rows) {
        installFakeBrowser();
        TestInstance t;
        NPP_NewStream(&t.npp, nullptr, nullptr, 0, nullptr);
        write(t, 0, row.before);
        fakeBrowser().failAllocation = row.noMemory ? 0 : -1;
        std::string bytes(64, 'd');
        CHECK(NPP_Write(&t.npp, nullptr, row.offset, row.len, row.noBuffer ? 0 : &bytes[0]) == -1);
        CHECK(held(t) == row.before);
        CHECK(lastLines(1)[0] == row.logLine);
    }
}
