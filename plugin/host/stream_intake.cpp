// Instance creation and the gathering of a stream's bytes into one block.
#include <string.h>

#include "../exchange/controller.h"
#include "../exchange/log.h"
#include "../exchange/trusted_servers.h"
#include "host_services.h"
#include "instance.h"

enum { kAcceptAnyAmount = 0x0FFFFFFF };

int liveInstances = 0;

NPError NPP_New(NPMIMEType, NPP instance, uint16_t mode, int16_t, char*[], char*[], NPSavedData*)
{
    if (!instance)
        return NPERR_INVALID_INSTANCE_ERROR;
    PluginInstance* This = static_cast<PluginInstance*>(NPN_MemAlloc(sizeof(PluginInstance)));
    instance->pdata = This;
    if (!This)
        return NPERR_OUT_OF_MEMORY_ERROR;
    memset(This, 0, sizeof *This);
    This->mode = mode;
    This->exchangeState = kAwaitingManifest;

    // Another page still at work keeps its lines: this one only says it began.
    if (liveInstances == 0)
        openLog();
    else
        logOpenLine();
    liveInstances++;
    readTrustedServers(This);
    return NPERR_NO_ERROR;
}

NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool, uint16_t*)
{
    PluginInstance* This = instanceRecord(instance);
    if (!This)
        return NPERR_INVALID_INSTANCE_ERROR;
    logMessage("NPP_NewStream called.\n");
    // Refused before any of its bytes can be taken. A stream already open
    // stays the current one, unless the browser reused its record for this
    // one: what comes under that record now is the refused stream's.
    if (!isTrustedStream(This, stream ? stream->url : nullptr, type)) {
        if (stream == This->stream)
            This->streamOpen = false;
        return NPERR_GENERIC_ERROR;
    }
    if (This->streamOpen)
        logMessage("an earlier stream is still open; its bytes are dropped\n");
    This->stream = stream;
    This->streamOpen = true;
    This->dataLen = 0;
    return NPERR_NO_ERROR;
}

bool isCurrentStream(const PluginInstance* This, const NPStream* stream, const char* refused)
{
    if (!This->streamOpen) {
        logMessage("no stream is open; %s\n", refused);
        return false;
    }
    if (stream != This->stream) {
        logMessage("not the current stream; %s\n", refused);
        return false;
    }
    return true;
}

int32_t NPP_WriteReady(NPP, NPStream*)
{
    return kAcceptAnyAmount;
}

void releaseStreamData(PluginInstance* This)
{
    if (This->dataBlock)
        NPN_MemFree(This->dataBlock);
    This->dataBlock = nullptr;
    This->dataCapacity = 0;
    This->data = nullptr;
    This->dataLen = 0;
}

// Makes room for `needed` bytes at the start of the stream's block, keeping
// the bytes held. A failed allocation changes nothing.
static bool reserve(PluginInstance* This, int64_t needed)
{
    // A new stream starts over at the front of the block an earlier one left.
    if (This->dataLen == 0)
        This->data = This->dataBlock;
    if (This->dataBlock && This->data == This->dataBlock && needed <= This->dataCapacity)
        return true;
    // Doubling keeps the copying linear in the stream's length; one spare
    // byte lets the text be terminated without touching what was received.
    int64_t capacity = needed + 1;
    if (This->dataBlock && This->dataLen > 0 && capacity < 2 * int64_t(This->dataCapacity))
        capacity = 2 * int64_t(This->dataCapacity);
    if (capacity > INT32_MAX)
        capacity = INT32_MAX;
    char* block = static_cast<char*>(NPN_MemAlloc(uint32_t(capacity)));
    if (!block)
        return false;
    if (This->dataLen > 0)
        memcpy(block, This->data, size_t(This->dataLen));
    if (This->dataBlock)
        NPN_MemFree(This->dataBlock);
    This->dataBlock = block;
    This->data = block;
    This->dataCapacity = int32_t(capacity);
    return true;
}

int32_t NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t len, void* buffer)
{
    logMessage("NPP_Write called; len = %d\n", len);
    PluginInstance* This = instanceRecord(instance);
    if (!This)
        return -1;
    if (!buffer) {
        logMessage("buffer is NULL\n");
        return -1;
    }
    if (!isCurrentStream(This, stream, "write refused"))
        return -1;
    if (offset > 0 && This->dataLen == 0) {
        logMessage("offset and len mismatch; offset = %d\n", offset);
        return -1;
    }
    if (len < 0) {
        logMessage("negative length refused; len = %d\n", len);
        return -1;
    }
    if (This->dataLen > 0)
        logMessage("Doing a realloc\n");
    int64_t total = int64_t(This->dataLen) + len;
    if (total >= INT32_MAX) {
        logMessage("stream too long; refused %d bytes after %d\n", len, This->dataLen);
        return -1;
    }
    if (!reserve(This, total)) {
        logMessage("NPN_MemAlloc failed\n");
        return -1;
    }
    memcpy(This->data + This->dataLen, buffer, size_t(len));
    This->dataLen = int32_t(total);
    return len;
}
