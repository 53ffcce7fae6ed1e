// Instance creation and stream intake, driven from the browser's side; the
// log is read back from the prefix's Windows directory.
#include <doctest/doctest.h>

#include <windows.h>

#include "exchange/controller.h"
#include "fake_browser.h"
#include "host/instance.h"

// Intake takes a stream whatever its address: no trusted server list, even
// one an earlier test or the sample installation left in the registry.
static void trustAnyServer()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Velkor Games Online\\Versioning Plug-in");
}

static std::string held(TestInstance& t)
{
    return std::string(t.record()->data, size_t(t.record()->dataLen));
}

static int32_t write(TestInstance& t, NPStream* stream, int32_t offset, std::string bytes)
{
    return NPP_Write(&t.npp, stream, offset, int32_t(bytes.size()), &bytes[0]);
}

TEST_CASE("a stream is gathered into one growing block")
{
    trustAnyServer();
    installFakeBrowser();
    TestInstance t;
    REQUIRE(t.created == NPERR_NO_ERROR);
    CHECK(t.record()->exchangeState == kAwaitingManifest);

    NPStream stream{};
    NPP_NewStream(&t.npp, nullptr, &stream, 0, nullptr);
    std::string expected;
    for (int i = 0; i < 5000; i++) {
        std::string chunk(1 + i % 7, char('a' + i % 26));
        REQUIRE(write(t, &stream, int32_t(expected.size()), chunk) == int32_t(chunk.size()));
        expected += chunk;
    }
    CHECK((held(t) == expected && fakeBrowser().allocationSizes.size() < 30));
    NPP_NewStream(&t.npp, nullptr, &stream, 0, nullptr);  // starts over in the same block
    CHECK((write(t, &stream, 0, "second") == 6 && held(t) == "second"));
    CHECK((NPP_Destroy(&t.npp, nullptr) == NPERR_NO_ERROR && fakeBrowser().liveBlocks.empty()));
}

TEST_CASE("stream intake answers each chunk with one log line; a refused one changes nothing")
{
    trustAnyServer();
    const std::string launch = "LAUNCH_NOW;g;a\n";
    const struct {
        const char* before;  // written to the first stream
        bool ended;          // and the first stream ended
        std::string other;   // then a second stream begun on the instance, and its bytes
        bool otherEnded;
        int32_t offset, len;  // the chunk written to the first stream
        bool noBuffer, noMemory;
        int32_t result;  // -1 refused, or the bytes taken
        const char* logLine;
    } rows[] = {
        {"", false, "", false, 100, 3, false, false, -1, "offset and len mismatch; offset = 100"},
        {"keep", false, "", false, 4, -5, false, false, -1, "negative length refused; len = -5"},
        {"keep", false, "", false, 4, INT32_MAX - 2, false, false, -1,
         "stream too long; refused 2147483645 bytes after 4"},
        {"abc", false, "", false, 3, 64, false, true, -1, "NPN_MemAlloc failed"},
        {"abc", false, "", false, 3, 64, true, false, -1, "buffer is NULL"},
        // once bytes are held, a chunk is appended whatever its offset
        {"keep", false, "", false, 9, 2, false, false, 2, "Doing a realloc"},
        {"keep", false, "", false, 1, 2, false, false, 2, "Doing a realloc"},
        // the browser breaks the order: a stream that has ended, one begun
        // before the current one while that is open, and after it has ended
        {launch.c_str(), true, "", false, 15, 1, false, false, -1, "no stream is open; write refused"},
        {"abcdef", false, launch, false, 6, 2, false, false, -1,
         "not the current stream; write refused"},
        {"abcdef", false, launch, true, 6, 2, false, false, -1, "no stream is open; write refused"},
    };
    for (const auto& row : rows) {
        CAPTURE(row.logLine);
        installFakeBrowser();
        TestInstance t;
        NPStream first{}, second{};
        NPP_NewStream(&t.npp, nullptr, &first, 0, nullptr);
        write(t, &first, 0, row.before);
        if (row.ended)
            NPP_DestroyStream(&t.npp, &first, NPRES_DONE);
        if (!row.other.empty()) {
            NPP_NewStream(&t.npp, nullptr, &second, 0, nullptr);
            write(t, &second, 0, row.other);
            if (row.otherEnded)
                NPP_DestroyStream(&t.npp, &second, NPRES_DONE);
        }
        std::string before = held(t);
        fakeBrowser().failAllocation = row.noMemory ? 0 : -1;
        std::string bytes(64, 'd');
        CHECK(NPP_Write(&t.npp, &first, row.offset, row.len, row.noBuffer ? 0 : &bytes[0]) ==
              row.result);
        CHECK(held(t) == (row.result < 0 ? before : before + bytes.substr(0, size_t(row.len))));
        CHECK(lastLines(1)[0] == row.logLine);
        CHECK(guardsIntact());
        // Every row ends mid-stream: the instance goes with all it holds.
        CHECK((NPP_Destroy(&t.npp, nullptr) == NPERR_NO_ERROR && fakeBrowser().liveBlocks.empty()));
        CHECK(write(t, &first, 0, "x") == -1);
    }
}
