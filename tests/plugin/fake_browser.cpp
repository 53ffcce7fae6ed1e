#include "fake_browser.h"

#include <stdlib.h>
#include <string.h>

#include "host/host_services.h"
#include "host/instance.h"
#include "wine_files.h"

static FakeBrowser browser;

static NPError getUrl(NPP, const char* url, const char* target)
{
    browser.getUrls.push_back({url ? url : "(null)", target ? target : "(null)"});
    return browser.getUrlResult;
}

static NPError postUrlNotify(NPP, const char* url, const char* target, uint32_t len,
                             const char* buf, NPBool file, void* notifyData)
{
    PostCall call;
    call.url = url ? url : "(null)";
    call.hasTarget = target != nullptr;
    call.target = target ? target : "";
    call.bytes.assign(buf, len);
    call.file = file;
    call.notifyData = notifyData ? static_cast<const char*>(notifyData) : "(null)";
    browser.posts.push_back(call);
    return browser.postResult;
}

static void* memAlloc(uint32_t size)
{
    if (browser.failAllocation == 0) {
        browser.failAllocation = -1;
        return nullptr;
    }
    if (browser.failAllocation > 0)
        browser.failAllocation--;
    void* block = malloc(size ? size : 1);
    // A pattern, so reads of bytes never written show up in the tests.
    memset(block, 0xA5, size);
    browser.liveBlocks[block] = size;
    browser.allocationSizes.push_back(size);
    return block;
}

static void memFree(void* block)
{
    browser.frees++;
    if (browser.liveBlocks.erase(block) == 0)
        abort();  // freeing a block we never handed out
    free(block);
}

FakeBrowser& installFakeBrowser(uint16_t version)
{
    for (auto& live : browser.liveBlocks)
        free(live.first);
    browser = FakeBrowser();
    memset(&browser.table, 0, sizeof browser.table);
    browser.table.size = sizeof browser.table;
    browser.table.version = version;
    browser.table.geturl = getUrl;
    browser.table.posturlnotify = postUrlNotify;
    browser.table.memalloc = memAlloc;
    browser.table.memfree = memFree;
    hostTable = &browser.table;
    return browser;
}

FakeBrowser& fakeBrowser()
{
    return browser;
}

TestInstance::TestInstance()
{
    created = NPP_New(const_cast<char*>("application/x-velkor-versioning"), &npp, NP_EMBED, 0,
                      nullptr, nullptr, nullptr);
}

TestInstance::~TestInstance()
{
    if (npp.pdata)
        NPP_Destroy(&npp, nullptr);
}

PluginInstance* TestInstance::record() const
{
    return static_cast<PluginInstance*>(npp.pdata);
}

NPError deliverStream(NPP instance, const std::string& bytes, size_t chunkSize, NPReason reason)
{
    NPStream stream{};
    uint16_t stype = NP_NORMAL;
    NPError error = NPP_NewStream(instance, const_cast<char*>("application/x-velkor-versioning"),
                                  &stream, 0, &stype);
    if (error != NPERR_NO_ERROR)
        return error;
    for (size_t offset = 0; offset < bytes.size(); offset += chunkSize) {
        size_t n = bytes.size() - offset < chunkSize ? bytes.size() - offset : chunkSize;
        std::string chunk = bytes.substr(offset, n);
        if (NPP_Write(instance, &stream, int32_t(offset), int32_t(n), &chunk[0]) != int32_t(n))
            return NPERR_GENERIC_ERROR;
    }
    return NPP_DestroyStream(instance, &stream, reason);
}

std::vector<std::string> logLines()
{
    return readLines(windowsDirectory() + "\\versioning.log");
}
