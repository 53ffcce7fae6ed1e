// The instance record: everything one embedding page's version check needs,
// in one block from the browser's allocator, kept in the instance's pdata.
#pragma once

#include <stdint.h>
#include <windows.h>

#include "host_services.h"
#include "npapi.h"

struct VersionEntry;

enum { kValueSize = 256 };  // registry and INI values, terminator included

struct PluginInstance {
    NPWindow* window;         // descriptor of the last NPP_SetWindow; null until then
    uint16_t mode;            // NP_EMBED or NP_FULL; recorded only
    HWND hwnd;                // the window we have subclassed; null when none
    WNDPROC defaultWindowProc; // the procedure we replaced on hwnd; null when none
    char* data;               // received bytes: dataBlock, or an empty text after an empty stream
    int32_t dataLen;          // bytes received on the current stream
    char systemPath[kValueSize];
    char pluginPath[kValueSize];
    char startIn[kValueSize];
    VersionEntry* result;     // the report's entry array while it is built
    int32_t contentLength;    // the last report's form body length

    // The block behind data, and its size: it grows geometrically so a
    // stream of many small chunks costs linear time.
    char* dataBlock;
    int32_t dataCapacity;

    // The stream whose bytes are taken, and whether it is still open.
    NPStream* stream;
    bool streamOpen;

    // The servers whose streams are taken, read when the instance is made:
    // a TrustState, and the list as stored.
    int trust;
    char trustedServers[kValueSize];

    // This page's own exchange, an ExchangeState: another page's streams,
    // commands and new instances never move it.
    int exchangeState;
};

// The record of a browser instance, or null for a null handle or pdata.
inline PluginInstance* instanceRecord(NPP instance)
{
    return instance ? static_cast<PluginInstance*>(instance->pdata) : nullptr;
}

// Returns the stream's block to the browser and forgets it: after the
// report is posted, and with the instance.
inline void releaseStreamData(PluginInstance* This)
{
    if (This->dataBlock)
        NPN_MemFree(This->dataBlock);
    This->dataBlock = nullptr;
    This->dataCapacity = 0;
    This->data = nullptr;
    This->dataLen = 0;
}
