// Fingerprints every line of the manifest and posts the lines with their
// fingerprints back to the server, which answers on a new stream.
#include "report.h"

#include <string.h>

#include "../host/host_services.h"
#include "locations.h"
#include "log.h"
#include "request.h"

// Handed back by the browser in NPP_URLNotify, so it must outlive the call.
static char kNotifyData[] = "2";

// Fills the count entries from the lines at line, each zero-terminated with
// the next just behind it; false after logging a failure.
static bool fingerprintEntries(PluginInstance* This, const char* line, int32_t count)
{
    for (int32_t i = 0; i < count; i++) {
        VersionEntry* entry = &This->result[i];
        size_t length = strlen(line);
        memcpy(entry->name, line, length + 1);
        line += length + 1;

        char path[kPathSize];
        if (!resolveManifestPath(This, entry->name, path))
            return false;
        // A game whose directory is not recorded has nothing on disk to look at.
        if (strcmp(This->startIn, "Error") == 0) {
            strcpy(entry->checksum, "0");
            continue;
        }
        int32_t checksumLength = 0;
        if (!CheckSumFile(path, entry->checksum, &checksumLength)) {
            logMessage("CheckSumFile failed\n");
            return false;
        }
    }
    return true;
}

// Lays out the request for the count entries in postBuf (capacity bytes)
// and posts it; false after logging when it does not fit. A refused post is
// the browser's business: the report itself is done.
static bool postRequest(NPP instance, PluginInstance* This, int32_t count, char* postBuf,
                        int64_t capacity, const char* url)
{
    int32_t total = layOutRequest(postBuf, capacity, This->result, count, &This->contentLength);
    if (!total) {
        logMessage("request does not fit its block\n");
        return false;
    }
    logMessage("content length is %d\n", This->contentLength);
    logMessage("object count is %d\n", count);

    logMessage("About to NPN_PostURLNotify\n");
    NPError posted = NPN_PostURLNotify(instance, url, nullptr, uint32_t(total), postBuf,
                                       false, kNotifyData);
    logMessage("NPN_PostURLNotify Complete, result = %d; total = %d\n", posted, total);
    return true;
}

static void releaseReport(PluginInstance* This, char* postBuf)
{
    if (postBuf)
        NPN_MemFree(postBuf);
    if (This->result)
        NPN_MemFree(This->result);
    This->result = nullptr;
}

int sendVersionReport(NPP instance, PluginInstance* This, char* manifestStart, const char* url)
{
    ManifestShape shape = splitManifest(manifestStart, This->data + This->dataLen);
    if (shape.badLine) {
        if (shape.zeroInside)
            logMessage("manifest line %d holds a zero byte\n", shape.badLine);
        else
            logMessage("manifest line %d too long; length = %d\n", shape.badLine,
                       shape.badLength);
        return 0;
    }
    int32_t count = shape.lines;

    uint64_t resultSize = uint64_t(count) * sizeof(VersionEntry);
    This->result = resultSize <= UINT32_MAX
                       ? static_cast<VersionEntry*>(NPN_MemAlloc(uint32_t(resultSize)))
                       : nullptr;
    if (!This->result) {
        logMessage("NPP_MemAlloc failed (This->result)\n");
        return 0;
    }

    int64_t capacity = requestCapacity(count, shape.nameBytes);
    char* postBuf =
        capacity <= INT32_MAX ? static_cast<char*>(NPN_MemAlloc(uint32_t(capacity))) : nullptr;
    if (!postBuf) {
        logMessage("NPP_MemAlloc failed (postBuf)\n");
        releaseReport(This, nullptr);
        return 0;
    }
    logMessage("postBufSize is %d\n", int32_t(capacity));

    bool sent = fingerprintEntries(This, manifestStart, count) &&
                postRequest(instance, This, count, postBuf, capacity, url);
    releaseReport(This, postBuf);
    return sent ? 1 : 0;
}
