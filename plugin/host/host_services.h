// The plug-in's only way into the browser: five thin services over the
// browser's table, which NP_Initialize hands over and NP_Shutdown forgets.
#pragma once

#include "npapi.h"

extern NPNetscapeFuncs* hostTable;

// Without a table (before NP_Initialize, after NP_Shutdown) every service
// refuses: GetURL and PostURLNotify answer NPERR_GENERIC_ERROR, MemAlloc
// answers null, MemFree does nothing.
NPError NPN_GetURL(NPP instance, const char* url, const char* target);
NPError NPN_PostURLNotify(NPP instance, const char* url, const char* target, uint32_t len,
                          const char* buf, NPBool file, void* notifyData);
void* NPN_MemAlloc(uint32_t size);
void NPN_MemFree(void* ptr);
void* NPN_GetJavaEnv(void);
