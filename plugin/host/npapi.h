// The Netscape plug-in interface, version 0.9, as a Windows browser and a
// plug-in share it: the records, the two function tables and the codes.
// Written from the published interface; field order is binary layout, so
// never reorder. Table entries use the C calling convention; only the three
// exported entry points are WINAPI (stdcall on 32-bit Windows).
#pragma once

#include <stdint.h>

#define NP_VERSION_MAJOR 0
#define NP_VERSION_MINOR 9

#define NP_EXPORT_CALL __stdcall

typedef unsigned char NPBool;
typedef int16_t NPError;
typedef int16_t NPReason;
typedef char* NPMIMEType;

// The browser's handle for one plug-in instance; pdata belongs to the plug-in.
typedef struct _NPP {
    void* pdata;
    void* ndata;
} NPP_t;
typedef NPP_t* NPP;

typedef struct _NPStream {
    void* pdata;
    void* ndata;
    const char* url;
    uint32_t end;
    uint32_t lastmodified;
    void* notifyData;
} NPStream;

typedef struct _NPByteRange {
    int32_t offset;
    uint32_t length;
    struct _NPByteRange* next;
} NPByteRange;

typedef struct _NPSavedData {
    int32_t len;
    void* buf;
} NPSavedData;

typedef struct _NPRect {
    uint16_t top;
    uint16_t left;
    uint16_t bottom;
    uint16_t right;
} NPRect;

// window is the native window handle (HWND on Windows).
typedef struct _NPWindow {
    void* window;
    int32_t x;
    int32_t y;
    uint32_t width;
    uint32_t height;
    NPRect clipRect;
} NPWindow;

typedef struct _NPFullPrint {
    NPBool pluginPrinted;
    NPBool printOne;
    void* platformPrint;
} NPFullPrint;

typedef struct _NPEmbedPrint {
    NPWindow window;
    void* platformPrint;
} NPEmbedPrint;

typedef struct _NPPrint {
    uint16_t mode;
    union {
        NPFullPrint fullPrint;
        NPEmbedPrint embedPrint;
    } print;
} NPPrint;

// Instance and print modes.
#define NP_EMBED 1
#define NP_FULL 2

// Stream types.
#define NP_NORMAL 1
#define NP_SEEK 2
#define NP_ASFILE 3
#define NP_ASFILEONLY 4

#define NPERR_NO_ERROR 0
#define NPERR_GENERIC_ERROR 1
#define NPERR_INVALID_INSTANCE_ERROR 2
#define NPERR_INVALID_FUNCTABLE_ERROR 3
#define NPERR_MODULE_LOAD_FAILED_ERROR 4
#define NPERR_OUT_OF_MEMORY_ERROR 5
#define NPERR_INVALID_PLUGIN_ERROR 6
#define NPERR_INVALID_PLUGIN_DIR_ERROR 7
#define NPERR_INCOMPATIBLE_VERSION_ERROR 8
#define NPERR_INVALID_PARAM 9
#define NPERR_INVALID_URL 10
#define NPERR_FILE_NOT_FOUND 11
#define NPERR_NO_DATA 12
#define NPERR_STREAM_NOT_SEEKABLE 13

#define NPRES_DONE 0
#define NPRES_NETWORK_ERR 1
#define NPRES_USER_BREAK 2

// Plug-in entries, called by the browser through NPPluginFuncs.
typedef NPError (*NPP_NewProc)(NPMIMEType pluginType, NPP instance, uint16_t mode,
                               int16_t argc, char* argn[], char* argv[], NPSavedData* saved);
typedef NPError (*NPP_DestroyProc)(NPP instance, NPSavedData** save);
typedef NPError (*NPP_SetWindowProc)(NPP instance, NPWindow* window);
typedef NPError (*NPP_NewStreamProc)(NPP instance, NPMIMEType type, NPStream* stream,
                                     NPBool seekable, uint16_t* stype);
typedef NPError (*NPP_DestroyStreamProc)(NPP instance, NPStream* stream, NPReason reason);
typedef int32_t (*NPP_WriteReadyProc)(NPP instance, NPStream* stream);
typedef int32_t (*NPP_WriteProc)(NPP instance, NPStream* stream, int32_t offset, int32_t len,
                                 void* buffer);
typedef void (*NPP_StreamAsFileProc)(NPP instance, NPStream* stream, const char* fname);
typedef void (*NPP_PrintProc)(NPP instance, NPPrint* platformPrint);
typedef int16_t (*NPP_HandleEventProc)(NPP instance, void* event);
typedef void (*NPP_URLNotifyProc)(NPP instance, const char* url, NPReason reason,
                                  void* notifyData);

typedef struct _NPPluginFuncs {
    uint16_t size;
    uint16_t version;
    NPP_NewProc newp;
    NPP_DestroyProc destroy;
    NPP_SetWindowProc setwindow;
    NPP_NewStreamProc newstream;
    NPP_DestroyStreamProc destroystream;
    NPP_StreamAsFileProc asfile;
    NPP_WriteReadyProc writeready;
    NPP_WriteProc write;
    NPP_PrintProc print;
    NPP_HandleEventProc event;
    NPP_URLNotifyProc urlnotify;
    void* javaClass;
} NPPluginFuncs;

// Browser services, called by the plug-in through NPNetscapeFuncs.
typedef NPError (*NPN_GetURLProc)(NPP instance, const char* url, const char* window);
typedef NPError (*NPN_PostURLProc)(NPP instance, const char* url, const char* window,
                                   uint32_t len, const char* buf, NPBool file);
typedef NPError (*NPN_RequestReadProc)(NPStream* stream, NPByteRange* rangeList);
typedef NPError (*NPN_NewStreamProc)(NPP instance, NPMIMEType type, const char* window,
                                     NPStream** stream);
typedef int32_t (*NPN_WriteProc)(NPP instance, NPStream* stream, int32_t len, void* buffer);
typedef NPError (*NPN_DestroyStreamProc)(NPP instance, NPStream* stream, NPReason reason);
typedef void (*NPN_StatusProc)(NPP instance, const char* message);
typedef const char* (*NPN_UserAgentProc)(NPP instance);
typedef void* (*NPN_MemAllocProc)(uint32_t size);
typedef void (*NPN_MemFreeProc)(void* ptr);
typedef uint32_t (*NPN_MemFlushProc)(uint32_t size);
typedef void (*NPN_ReloadPluginsProc)(NPBool reloadPages);
typedef void* (*NPN_GetJavaEnvProc)(void);
typedef void* (*NPN_GetJavaPeerProc)(NPP instance);
typedef NPError (*NPN_GetURLNotifyProc)(NPP instance, const char* url, const char* window,
                                        void* notifyData);
typedef NPError (*NPN_PostURLNotifyProc)(NPP instance, const char* url, const char* window,
                                         uint32_t len, const char* buf, NPBool file,
                                         void* notifyData);

typedef struct _NPNetscapeFuncs {
    uint16_t size;
    uint16_t version;
    NPN_GetURLProc geturl;
    NPN_PostURLProc posturl;
    NPN_RequestReadProc requestread;
    NPN_NewStreamProc newstream;
    NPN_WriteProc write;
    NPN_DestroyStreamProc destroystream;
    NPN_StatusProc status;
    NPN_UserAgentProc uagent;
    NPN_MemAllocProc memalloc;
    NPN_MemFreeProc memfree;
    NPN_MemFlushProc memflush;
    NPN_ReloadPluginsProc reloadplugins;
    NPN_GetJavaEnvProc getJavaEnv;
    NPN_GetJavaPeerProc getJavaPeer;
    NPN_GetURLNotifyProc geturlnotify;
    NPN_PostURLNotifyProc posturlnotify;
} NPNetscapeFuncs;

// The library's exports.
extern "C" {
NPError NP_EXPORT_CALL NP_GetEntryPoints(NPPluginFuncs* table);
NPError NP_EXPORT_CALL NP_Initialize(NPNetscapeFuncs* services);
NPError NP_EXPORT_CALL NP_Shutdown(void);
}
