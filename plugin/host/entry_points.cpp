// Everything the browser calls: the exports, the plug-in-wide hooks and the
// instance handlers, each checking its instance and handing on to the
// window, the stream intake or the exchange. Loading and unloading do no work.
#include <string.h>

#include "../exchange/controller.h"
#include "../exchange/log.h"
#include "handlers.h"
#include "host_services.h"

// The browser's table, kept so NP_Initialize can add the later entries.
static NPPluginFuncs* pluginTable = nullptr;

// The plug-in-wide hooks: nothing to set up or tear down, and no Java class.
static NPError NPP_Initialize(void) { return NPERR_NO_ERROR; }
static void NPP_Shutdown(void) {}
static void* NPP_GetJavaClass(void) { return nullptr; }

static NPError NPP_New(NPMIMEType, NPP instance, uint16_t mode, int16_t, char*[], char*[],
                       NPSavedData*)
{
    if (!instance)
        return NPERR_INVALID_INSTANCE_ERROR;
    PluginInstance* This = static_cast<PluginInstance*>(NPN_MemAlloc(sizeof(PluginInstance)));
    instance->pdata = This;
    if (!This)
        return NPERR_OUT_OF_MEMORY_ERROR;
    memset(This, 0, sizeof *This);
    This->mode = mode;
    beginExchange(This);
    return NPERR_NO_ERROR;
}

// The record goes back with all it holds: many instances must not leak.
static NPError NPP_Destroy(NPP instance, NPSavedData**)
{
    PluginInstance* This = instanceRecord(instance);
    if (!This)
        return NPERR_INVALID_INSTANCE_ERROR;
    restoreWindow(This);
    releaseStreamData(This);
    NPN_MemFree(This);
    instance->pdata = nullptr;
    endExchange();
    return NPERR_NO_ERROR;
}

static NPError NPP_SetWindow(NPP instance, NPWindow* window)
{
    PluginInstance* This = instanceRecord(instance);
    if (!This)
        return NPERR_INVALID_INSTANCE_ERROR;
    setWindow(This, window);
    return NPERR_NO_ERROR;
}

static NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool, uint16_t*)
{
    PluginInstance* This = instanceRecord(instance);
    if (!This)
        return NPERR_INVALID_INSTANCE_ERROR;
    logMessage("NPP_NewStream called.\n");
    return beginStream(This, stream, type) ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR;
}

// Any amount at once.
static int32_t NPP_WriteReady(NPP, NPStream*) { return 0x0FFFFFFF; }

static int32_t NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t len, void* buffer)
{
    logMessage("NPP_Write called; len = %d\n", len);
    PluginInstance* This = instanceRecord(instance);
    return This ? takeChunk(This, stream, offset, len, buffer) : -1;
}

static NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason)
{
    PluginInstance* This = instanceRecord(instance);
    if (!This)
        return NPERR_INVALID_INSTANCE_ERROR;
    logMessage("NPP_DestroyStream called; reason = %d, state = %d\n", reason, This->exchangeState);
    if (!endStream(This, stream))
        return NPERR_GENERIC_ERROR;
    return actOnStream(instance, This, stream ? stream->url : nullptr, reason);
}

// Streams come through NPP_Write; the plug-in never asks for a file.
static void NPP_StreamAsFile(NPP, NPStream*, const char*) {}

// There is nothing of ours to print; on a full page the browser prints it.
static void NPP_Print(NPP instance, NPPrint* print)
{
    if (instance && print && print->mode == NP_FULL)
        print->print.fullPrint.pluginPrinted = false;
}

// The end of the version report's post; the answer itself comes as a stream.
static void NPP_URLNotify(NPP, const char* url, NPReason reason, void*)
{
    logMessage("NPP_URLNotify called with reason = %d; URL = %s\n", reason, url ? url : "(null)");
}

extern "C" NPError NP_EXPORT_CALL NP_GetEntryPoints(NPPluginFuncs* table)
{
    if (!table)
        return NPERR_INVALID_FUNCTABLE_ERROR;
    table->newp = NPP_New;
    table->destroy = NPP_Destroy;
    table->setwindow = NPP_SetWindow;
    table->newstream = NPP_NewStream;
    table->destroystream = NPP_DestroyStream;
    table->asfile = NPP_StreamAsFile;
    table->writeready = NPP_WriteReady;
    table->write = NPP_Write;
    table->print = NPP_Print;
    table->event = nullptr;
    table->version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    pluginTable = table;
    return NPERR_NO_ERROR;
}

extern "C" NPError NP_EXPORT_CALL NP_Initialize(NPNetscapeFuncs* services)
{
    if (!services)
        return NPERR_INVALID_FUNCTABLE_ERROR;
    hostTable = services;
    if ((services->version >> 8) != NP_VERSION_MAJOR)
        return NPERR_INCOMPATIBLE_VERSION_ERROR;
    // A browser that skipped NP_GetEntryPoints gave us no table to extend;
    // it simply gets no URL notifications.
    if ((services->version & 0xFF) >= 9 && pluginTable) {
        pluginTable->urlnotify = NPP_URLNotify;
        // We offer no Java class, so the browser's Java environment is never asked for.
        pluginTable->javaClass = NPP_GetJavaClass();
    }
    return NPP_Initialize();
}

extern "C" NPError NP_EXPORT_CALL NP_Shutdown(void)
{
    NPP_Shutdown();
    hostTable = nullptr;
    return NPERR_NO_ERROR;
}
