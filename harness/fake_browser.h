// A recording browser for the tests and the bench: a service table that records
// the plug-in's calls, counts the blocks it hands out and can refuse one, and the
// plug-in's table to drive instances through. Only the published interface.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/npapi.h"

using Lines = std::vector<std::string>;

static const char kVersioningType[] = "application/x-velkor-versioning";

// The tests' server, and the page whose streams come from it.
static const char kTestServer[] = "http://games.example";
static const char kTestPage[] = "http://games.example/check";

struct PostCall {
    std::string url, bytes, notifyData;  // bytes: all len, header and final zero included
    bool hasTarget;
    NPBool file;
};

struct FakeBrowser {
    NPNetscapeFuncs table{};
    NPPluginFuncs plugin{};                // as the plug-in filled it in
    std::map<void*, uint32_t> liveBlocks;  // block -> size; guard bytes follow each
    int overruns = 0;                      // blocks freed with their guard bytes written over
    std::vector<uint32_t> allocationSizes;
    int failAllocation = -1;  // the n-th allocation from now (0 = next) fails
    Lines getUrls;  // "URL TARGET"
    std::vector<PostCall> posts;
};

// The one browser of the process, reset to a table version (major << 8 | minor).
FakeBrowser& resetFakeBrowser(uint16_t version);
FakeBrowser& fakeBrowser();

// Whether no block has been written past its end: the live ones' guard bytes
// are intact and none was freed with them written over.
bool guardsIntact();

// The same, with the linked-in plug-in given both tables.
inline FakeBrowser& installFakeBrowser(uint16_t version = 9)
{
    NP_GetEntryPoints(&resetFakeBrowser(version).plugin);
    NP_Initialize(&fakeBrowser().table);
    return fakeBrowser();
}

// An instance made through the plug-in's table, destroyed with this if it
// still has a record.
struct TestInstance {
    NPP_t npp{};
    NPError created;
    TestInstance();
    ~TestInstance() { if (npp.pdata) fakeBrowser().plugin.destroy(&npp, nullptr); }
    struct PluginInstance* record() const { return static_cast<PluginInstance*>(npp.pdata); }
};

// newstream for url, write in chunks (each after writeready), destroystream
// with reason: the last result, or the error of a refused begin or chunk
// (NPERR_GENERIC_ERROR for a chunk), after which nothing more is called.
NPError deliverStream(NPP instance, const std::string& bytes, size_t chunkSize = 4096,
                      NPReason reason = NPRES_DONE,
                      const char* url = kTestPage);

// The last n lines of the plug-in's log (all of them when it has fewer).
Lines lastLines(size_t n = size_t(-1));
