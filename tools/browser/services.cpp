// The browser's service table: what the plug-in may call. A call that names
// an instance reaches its page, and the run, through the instance's ndata. Requests are
// only queued here; the run sends them after the plug-in's current call has
// returned, as a browser does, so the plug-in never sees its own request
// answered before it has finished asking.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>

#include "browser.h"
#include "post_buffer.h"
#include "url.h"

// The allocator behind NPN_MemAlloc and NPN_MemFree: malloc underneath, a
// table of live blocks on top, numbered in order of handing out so the
// transcript can say which block a free gives back. It counts what the
// plug-in takes and gives back, and catches blocks freed that it never
// handed out.
struct Block {
    long number;
    uint32_t size;
};

static std::map<void*, Block> live;
static MemoryCount count;
static std::vector<std::string> strays;  // failures of calls that reach no run

const MemoryCount& memoryCount()
{
    return count;
}

std::vector<std::string> takeStrayFailures()
{
    std::vector<std::string> taken;
    taken.swap(strays);
    return taken;
}

static std::string pointerText(const void* p)
{
    char text[32];
    snprintf(text, sizeof text, "%p", p);
    return text;
}

// The page whose instance this is; null for a call that names none.
static Page* pageOf(NPP instance)
{
    return instance ? static_cast<Page*>(instance->ndata) : nullptr;
}

static NPError queueRequest(NPP instance, const char* url, const char* target, bool post,
                            const std::string& bytes, bool notify, void* notifyData,
                            std::string& described)
{
    Page* page = pageOf(instance);
    if (!page || instance != &page->npp || !page->live) {
        described = "refused: not a live instance of this browser";
        return NPERR_INVALID_INSTANCE_ERROR;
    }
    if (!url) {
        described = "refused: no URL";
        return NPERR_INVALID_URL;
    }
    Request request;
    request.url = resolveUrl(page->url, url);
    if (request.url.empty()) {
        described = "refused: cannot resolve " + quotedOrNull(url) + " to an http or https address";
        return NPERR_INVALID_URL;
    }
    request.number = ++page->run->requests;
    request.page = page;
    request.referer = page->referer;
    request.post = post;
    request.hasTarget = target != nullptr;
    request.target = target ? target : "";
    request.notify = notify;
    request.notifyData = notifyData;
    if (post) {
        PostBuffer split = splitPostBuffer(bytes);
        request.headers = split.headers;
        request.body = split.body;
    }
    described = "queued as request " + std::to_string(request.number) + ": " + request.describe() +
                request.destination();
    page->run->queue.push_back(request);
    return NPERR_NO_ERROR;
}

// A request the browser turned down fails the exchange by name: the
// plug-in meant the browser to go somewhere, and it did not.
static void failRefused(NPP instance, NPError result, const char* url, const char* target,
                        const std::string& described)
{
    if (result == NPERR_NO_ERROR)
        return;
    Page* page = pageOf(instance);
    (page ? page->run->failures : strays)
        .push_back("the plug-in asked for " + quotedOrNull(url) +
                   (target ? std::string(" for ") + target : std::string(" for the instance")) +
                   ", which this browser " + described);
}

static NPError getUrl(NPP instance, const char* url, const char* target)
{
    std::string described;
    NPError result = queueRequest(instance, url, target, false, "", false, nullptr, described);
    transcriptService("NPN_GetURL(" + quotedOrNull(url) + ", " + quotedOrNull(target) + ") = " +
                      npErrorText(result) + "; " + described);
    failRefused(instance, result, url, target, described);
    return result;
}

static NPError getUrlNotify(NPP instance, const char* url, const char* target, void* notifyData)
{
    std::string described;
    NPError result = queueRequest(instance, url, target, false, "", true, notifyData, described);
    transcriptService("NPN_GetURLNotify(" + quotedOrNull(url) + ", " + quotedOrNull(target) +
                      ", notifyData " + pointerText(notifyData) + ") = " + npErrorText(result) +
                      "; " + described);
    failRefused(instance, result, url, target, described);
    return result;
}

static NPError post(const char* name, NPP instance, const char* url, const char* target,
                    uint32_t len, const char* buf, NPBool file, bool notify, void* notifyData)
{
    std::string call = std::string(name) + "(" + quotedOrNull(url) + ", " + quotedOrNull(target) +
                       ", len " + std::to_string(len) + ", " +
                       (buf ? quoted(buf, len) : std::string("null")) + ", file " +
                       std::to_string(file) +
                       (notify ? ", notifyData " + pointerText(notifyData) : std::string()) + ")";
    std::string described;
    NPError result;
    if (!buf && len > 0) {
        result = NPERR_INVALID_PARAM;
        described = "refused: no buffer";
    } else if (file) {
        // A file name instead of data: this browser posts data only.
        result = NPERR_INVALID_PARAM;
        described = "refused: posting a file is not supported by this browser";
    } else {
        result = queueRequest(instance, url, target, true, std::string(buf ? buf : "", len), notify,
                              notifyData, described);
    }
    transcriptService(call + " = " + npErrorText(result) + "; " + described);
    failRefused(instance, result, url, target, described);
    if (result == NPERR_NO_ERROR) {
        const Request& queued = pageOf(instance)->run->queue.back();
        if (queued.headers.empty())
            transcriptNote("the buffer has no header lines; all " + std::to_string(queued.body.size()) +
                           " bytes are the body");
        else
            transcriptNote("header lines from the buffer: " + std::to_string(queued.headers.size()) +
                           "; body " + std::to_string(queued.body.size()) + " bytes");
    }
    return result;
}

static NPError postUrl(NPP instance, const char* url, const char* target, uint32_t len,
                       const char* buf, NPBool file)
{
    return post("NPN_PostURL", instance, url, target, len, buf, file, false, nullptr);
}

static NPError postUrlNotify(NPP instance, const char* url, const char* target, uint32_t len,
                             const char* buf, NPBool file, void* notifyData)
{
    return post("NPN_PostURLNotify", instance, url, target, len, buf, file, true, notifyData);
}

static void* memAlloc(uint32_t size)
{
    // A zero-byte request still gets a distinct block, as browsers give.
    void* block = malloc(size ? size : 1);
    if (!block) {
        transcriptService("NPN_MemAlloc(" + std::to_string(size) + ") = null (out of memory)");
        return nullptr;
    }
    // A pattern instead of zeros, so reliance on cleared memory shows.
    memset(block, 0xA5, size);
    count.allocations++;
    count.liveBlocks++;
    count.liveBytes += size;
    live[block] = Block{count.allocations, size};
    transcriptService("NPN_MemAlloc(" + std::to_string(size) + ") = block #" +
                      std::to_string(count.allocations) + " (" + std::to_string(size) + " bytes)");
    return block;
}

static void memFree(void* block)
{
    std::string call = "NPN_MemFree(" + pointerText(block) + ") ";
    auto found = live.find(block);
    if (!block) {
        transcriptService(call + "null pointer, nothing freed");
    } else if (found == live.end()) {
        count.foreignFrees++;
        transcriptService(call + "ERROR: not a live block from NPN_MemAlloc; not freed");
        strays.push_back("the plug-in freed a block it did not get from NPN_MemAlloc");
    } else {
        transcriptService(call + "block #" + std::to_string(found->second.number) + " (" +
                          std::to_string(found->second.size) + " bytes)");
        count.frees++;
        count.liveBlocks--;
        count.liveBytes -= found->second.size;
        live.erase(found);
        free(block);
    }
}

static uint32_t memFlush(uint32_t size)
{
    transcriptService("NPN_MemFlush(" + std::to_string(size) + ") = 0");
    return 0;
}

static NPError requestRead(NPStream*, NPByteRange*)
{
    transcriptService("NPN_RequestRead = NPERR_STREAM_NOT_SEEKABLE");
    return NPERR_STREAM_NOT_SEEKABLE;
}

static NPError newStream(NPP, NPMIMEType type, const char* target, NPStream**)
{
    transcriptService("NPN_NewStream(" + quotedOrNull(type) + ", " + quotedOrNull(target) +
                      ") = NPERR_GENERIC_ERROR; streams from the plug-in are not supported");
    return NPERR_GENERIC_ERROR;
}

static int32_t write(NPP, NPStream*, int32_t len, void*)
{
    transcriptService("NPN_Write(len " + std::to_string(len) + ") = -1");
    return -1;
}

static NPError destroyStream(NPP, NPStream*, NPReason reason)
{
    transcriptService("NPN_DestroyStream(" + reasonText(reason) + ") = NPERR_GENERIC_ERROR");
    return NPERR_GENERIC_ERROR;
}

static void status(NPP, const char* message)
{
    transcriptService("NPN_Status(" + quotedOrNull(message) + ")");
}

static const char* userAgent(NPP)
{
    static const char agent[] = "vkbrowse/1.0 (plug-in interface 0.9 stand-in)";
    transcriptService(std::string("NPN_UserAgent = \"") + agent + "\"");
    return agent;
}

static void reloadPlugins(NPBool reloadPages)
{
    transcriptService("NPN_ReloadPlugins(" + std::to_string(reloadPages) + ") ignored");
}

static void* getJavaEnv(void)
{
    transcriptService("NPN_GetJavaEnv = null (no Java here)");
    return nullptr;
}

static void* getJavaPeer(NPP)
{
    transcriptService("NPN_GetJavaPeer = null (no Java here)");
    return nullptr;
}

void fillServiceTable(NPNetscapeFuncs& table, uint8_t minorVersion)
{
    table = NPNetscapeFuncs();
    table.size = sizeof table;
    table.version = uint16_t((NP_VERSION_MAJOR << 8) | minorVersion);
    table.geturl = getUrl;
    table.posturl = postUrl;
    table.requestread = requestRead;
    table.newstream = newStream;
    table.write = write;
    table.destroystream = destroyStream;
    table.status = status;
    table.uagent = userAgent;
    table.memalloc = memAlloc;
    table.memfree = memFree;
    table.memflush = memFlush;
    table.reloadplugins = reloadPlugins;
    table.getJavaEnv = getJavaEnv;
    table.getJavaPeer = getJavaPeer;
    // Browsers before minor version 9 had no notifying requests.
    if (minorVersion >= 9) {
        table.geturlnotify = getUrlNotify;
        table.posturlnotify = postUrlNotify;
    }
}
