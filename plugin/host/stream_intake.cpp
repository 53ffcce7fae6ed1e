// Bytes are taken from one stream at a time: the one begun last, until it
// ends. A browser that breaks that order has the others refused.
#include "handlers.h"

#include <string.h>

#include "../exchange/log.h"
#include "../exchange/trusted_servers.h"
#include "host_services.h"

bool beginStream(PluginInstance* This, NPStream* stream, const char* type)
{
    // Refused before any of its bytes can be taken. A stream already open
    // stays the current one, unless the browser reused its record for this
    // one: what comes under that record now is the refused stream's.
    if (!isTrustedStream(This, stream ? stream->url : nullptr, type)) {
        if (stream == This->stream)
            This->streamOpen = false;
        return false;
    }
    if (This->streamOpen)
        logMessage("an earlier stream is still open; its bytes are dropped\n");
    This->stream = stream;
    This->streamOpen = true;
    This->dataLen = 0;
    return true;
}

// Whether stream is the one whose bytes are being taken; logs why not, with
// what is refused ("write refused").
static bool isCurrentStream(const PluginInstance* This, const NPStream* stream,
                            const char* refused)
{
    if (This->streamOpen && stream == This->stream)
        return true;
    logMessage(This->streamOpen ? "not the current stream; %s\n" : "no stream is open; %s\n",
               refused);
    return false;
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

int32_t takeChunk(PluginInstance* This, const NPStream* stream, int32_t offset, int32_t len,
                  const void* buffer)
{
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

bool endStream(PluginInstance* This, const NPStream* stream)
{
    // Each stream is acted on once: a second end would terminate and cut
    // its text again.
    if (!isCurrentStream(This, stream, "end not acted on"))
        return false;
    This->streamOpen = false;
    return true;
}
