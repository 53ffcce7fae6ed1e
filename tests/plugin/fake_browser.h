// A browser's service table for tests: it records every call the plug-in
// makes into it, counts the blocks it hands out, and can be told to refuse
// an allocation or to answer with a given code.
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "host/npapi.h"

struct GetUrlCall {
    std::string url;
    std::string target;
};

struct PostCall {
    std::string url;
    bool hasTarget;
    std::string target;
    std::string bytes;  // all len bytes, header and final zero included
    NPBool file;
    std::string notifyData;
};

struct FakeBrowser {
    NPNetscapeFuncs table;
    std::map<void*, uint32_t> liveBlocks;  // block -> size
    std::vector<uint32_t> allocationSizes;
    int frees = 0;
    int failAllocation = -1;  // the n-th allocation from now (0 = next) fails
    std::vector<GetUrlCall> getUrls;
    std::vector<PostCall> posts;
    NPError getUrlResult = NPERR_NO_ERROR;
    NPError postResult = NPERR_NO_ERROR;
};

// The one browser of the test process, reset with the given table version
// (major << 8 | minor) and installed as the plug-in's host table.
FakeBrowser& installFakeBrowser(uint16_t version = 9);
FakeBrowser& fakeBrowser();

// A plug-in instance as the browser holds it, created with NPP_New.
struct TestInstance {
    NPP_t npp{};
    NPError created;
    TestInstance();
    ~TestInstance();
    struct PluginInstance* record() const;
};

// Delivers bytes as one stream: NPP_NewStream, NPP_Write in chunks of
// chunkSize, then NPP_DestroyStream with reason. Returns the last result.
NPError deliverStream(NPP instance, const std::string& bytes, size_t chunkSize = 4096,
                      NPReason reason = NPRES_DONE);

// The plug-in's log, line by line.
std::vector<std::string> logLines();
