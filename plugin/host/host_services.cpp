// Each service reads hostTable at the moment of the call, so a table the
// browser changes in place takes effect at once.
#include "host_services.h"

NPNetscapeFuncs* hostTable = nullptr;

NPError NPN_GetURL(NPP instance, const char* url, const char* target)
{
    NPNetscapeFuncs* table = hostTable;
    return table && table->geturl ? table->geturl(instance, url, target) : NPERR_GENERIC_ERROR;
}

NPError NPN_PostURLNotify(NPP instance, const char* url, const char* target, uint32_t len,
                          const char* buf, NPBool file, void* notifyData)
{
    NPNetscapeFuncs* table = hostTable;
    if (!table)
        return NPERR_GENERIC_ERROR;
    // The entry exists only from minor version 9 on; an older browser's
    // table may simply end before it.
    if ((table->version & 0xFF) < 9)
        return NPERR_INCOMPATIBLE_VERSION_ERROR;
    if (!table->posturlnotify)
        return NPERR_GENERIC_ERROR;
    return table->posturlnotify(instance, url, target, len, buf, file, notifyData);
}

void* NPN_MemAlloc(uint32_t size)
{
    NPNetscapeFuncs* table = hostTable;
    return table && table->memalloc ? table->memalloc(size) : nullptr;
}

void NPN_MemFree(void* ptr)
{
    NPNetscapeFuncs* table = hostTable;
    if (table && table->memfree)
        table->memfree(ptr);
}

void* NPN_GetJavaEnv(void)
{
    NPNetscapeFuncs* table = hostTable;
    return table && table->getJavaEnv ? table->getJavaEnv() : nullptr;
}
