// The instance record: everything one embedding page's version check needs,
// in one block from the browser's allocator, kept in the instance's pdata.
#pragma once

#include <stdint.h>
#include <windows.h>

#include "npapi.h"

struct VersionEntry;

enum {
    kValueSize = 256, // registry and INI values, terminator included
};

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

    // Bytes are taken from one stream at a time: the one begun last, until
    // it ends. A browser that breaks that order has the others refused.
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

// Instances created and not yet destroyed: the log starts anew only with
// the first of them, so no page's lines are lost while it is still at work.
extern int liveInstances;

// The record of a browser instance, or null for a null handle or pdata.
inline PluginInstance* instanceRecord(NPP instance)
{
    return instance ? static_cast<PluginInstance*>(instance->pdata) : nullptr;
}

// Returns the stream's block to the browser and forgets it.
void releaseStreamData(PluginInstance* This);

// Whether stream is the one whose bytes are being taken; logs why not, with
// what is refused ("write refused").
bool isCurrentStream(const PluginInstance* This, const NPStream* stream, const char* refused);

// Plug-in entries of the function table, defined across plugin/host and
// plugin/exchange.
NPError NPP_New(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc, char* argn[],
                char* argv[], NPSavedData* saved);
NPError NPP_Destroy(NPP instance, NPSavedData** save);
NPError NPP_SetWindow(NPP instance, NPWindow* window);
NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                      uint16_t* stype);
NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason);
int32_t NPP_WriteReady(NPP instance, NPStream* stream);
int32_t NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t len, void* buffer);
void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname);
void NPP_Print(NPP instance, NPPrint* platformPrint);
void NPP_URLNotify(NPP instance, const char* url, NPReason reason, void* notifyData);
