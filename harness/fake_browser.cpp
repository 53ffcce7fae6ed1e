// The recording browser's service table and the helpers that drive the plug-in.
#include "fake_browser.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "wine_files.h"

static FakeBrowser browser;
static char kType[] = "application/x-velkor-versioning";
static const std::string kGuard(64, '\x5A');  // behind every block

static bool guardIntact(void* block, uint32_t size)
{
    return memcmp(static_cast<char*>(block) + size, kGuard.data(), kGuard.size()) == 0;
}

static std::string text(const void* s)
{
    return s ? static_cast<const char*>(s) : "(null)";
}

FakeBrowser& resetFakeBrowser(uint16_t version)
{
    for (auto& live : browser.liveBlocks)
        free(live.first);
    browser = FakeBrowser();
    NPNetscapeFuncs& t = browser.table;
    t.size = sizeof t;
    t.version = version;
    t.geturl = [](NPP, const char* url, const char* target) -> NPError {
        browser.getUrls.push_back(text(url) + " " + text(target));
        return NPERR_NO_ERROR;
    };
    t.posturlnotify = [](NPP, const char* url, const char* target, uint32_t len, const char* buf,
                         NPBool file, void* notifyData) -> NPError {
        browser.posts.push_back(
            {text(url), std::string(buf, len), text(notifyData), target != nullptr, file});
        return NPERR_NO_ERROR;
    };
    t.memalloc = [](uint32_t size) -> void* {
        if (browser.failAllocation >= 0 && browser.failAllocation-- == 0)
            return nullptr;
        void* block = malloc(size + kGuard.size());
        memset(block, 0xA5, size);  // so that bytes read before written show
        memcpy(static_cast<char*>(block) + size, kGuard.data(), kGuard.size());
        browser.liveBlocks[block] = size;
        browser.allocationSizes.push_back(size);
        return block;
    };
    // No test macro here: nothing may be thrown through the plug-in's frames.
    t.memfree = [](void* block) {
        auto live = browser.liveBlocks.find(block);
        if (live == browser.liveBlocks.end())
            abort();  // a block we never handed out, or one freed twice
        browser.overruns += !guardIntact(block, live->second);
        browser.liveBlocks.erase(live);
        free(block);
    };
    return browser;
}

bool guardsIntact()
{
    for (const auto& live : browser.liveBlocks)
        if (!guardIntact(live.first, live.second))
            return false;
    return browser.overruns == 0;
}

FakeBrowser& fakeBrowser() { return browser; }

TestInstance::TestInstance() : created(browser.plugin.newp(kType, &npp, NP_EMBED, 0, 0, 0, 0)) {}

NPError deliverStream(NPP instance, const std::string& bytes, size_t chunkSize, NPReason reason,
                      const char* url)
{
    const NPPluginFuncs& p = browser.plugin;
    NPStream stream{nullptr, nullptr, url, uint32_t(bytes.size()), 0, 0};
    uint16_t stype = NP_NORMAL;
    NPError error = p.newstream(instance, kType, &stream, 0, &stype);
    for (size_t at = 0; error == NPERR_NO_ERROR && at < bytes.size(); at += chunkSize) {
        std::string chunk = bytes.substr(at, chunkSize);
        int32_t n = int32_t(chunk.size());
        if (p.writeready(instance, &stream) < n ||
            p.write(instance, &stream, int32_t(at), n, &chunk[0]) != n)
            error = NPERR_GENERIC_ERROR;
    }
    return error == NPERR_NO_ERROR ? p.destroystream(instance, &stream, reason) : error;
}

Lines lastLines(size_t n)
{
    Lines lines = readLines(windowsDirectory() + "\\versioning.log");
    return Lines(lines.end() - long(std::min(n, lines.size())), lines.end());
}
