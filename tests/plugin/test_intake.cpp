// Instance creation, stream intake and the log, driven from the browser's
// side; the log is read back from the prefix's Windows directory.
#include <string.h>

#include <regex>

#include <doctest/doctest.h>

#include "exchange/controller.h"
#include "exchange/log.h"
#include "fake_browser.h"
#include "host/instance.h"
#include "wine_files.h"

static std::string held(TestInstance& t)
{
    return std::string(t.record()->data, size_t(t.record()->dataLen));
}

static int32_t write(TestInstance& t, int32_t offset, std::string bytes)
{
    return NPP_Write(&t.npp, nullptr, offset, int32_t(bytes.size()), &bytes[0]);
}

TEST_CASE("a cleared record per instance; a stream is gathered into one growing block")
{
    installFakeBrowser();
    exchangeState = kAborted;
    TestInstance t;
    PluginInstance cleared;
    memset(&cleared, 0, sizeof cleared);
    cleared.mode = NP_EMBED;
    REQUIRE(t.created == NPERR_NO_ERROR);
    CHECK((memcmp(t.record(), &cleared, sizeof cleared) == 0 &&
           exchangeState == kAwaitingManifest));

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
        {"", 0, 3, true, false, "buffer is NULL"},
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

TEST_CASE("each instance starts the log afresh; messages are written whole, as formatted")
{
    installFakeBrowser();
    TestInstance first;
    logMessage("from the first instance\n");
    TestInstance second;
    const std::string opening = lastLines(1)[0];
    CHECK(std::regex_match(opening, std::regex("Log file open at [A-Z][a-z]{2} [A-Z][a-z]{2} "
                                                "[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}")));
    // Percent signs in arguments stay; a text longer than any buffer is whole.
    std::string answer = "REDIRECT;a%20b%s%d.html" + std::string(5000, 'q') + "END";
    logMessage("Awake -- buffer is '%s'\n", answer.c_str());
    FILE* saved = logFile;
    logFile = nullptr;  // without an open log messages are dropped
    logMessage("nowhere %d\n", 1);
    logWrite("nowhere %d\n", 2);
    logFile = saved;
    CHECK(lastLines() == Lines{opening, "Awake -- buffer is '" + answer + "'"});
    // A Windows text file: lines end CR LF on disk.
    std::string bytes = readBinaryFile(windowsDirectory() + "\\versioning.log");
    CHECK(bytes.substr(bytes.size() - 6) == "END'\r\n");
}
