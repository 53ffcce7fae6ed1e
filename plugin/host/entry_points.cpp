// The three exports through which the browser and the plug-in exchange
// their function tables. Loading and unloading the library do no work.
#include "host_services.h"
#include "instance.h"

NPPluginFuncs* pluginTable = nullptr;

static NPError NPP_Initialize(void)
{
    return NPERR_NO_ERROR;
}

static void NPP_Shutdown(void)
{
}

static void* NPP_GetJavaClass(void)
{
    return nullptr;
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
