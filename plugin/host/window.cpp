// The instance's window and the handlers that do little or nothing.
#include "../exchange/log.h"
#include "host_services.h"
#include "instance.h"

NPError NPP_SetWindow(NPP instance, NPWindow*)
{
    if (!instanceRecord(instance))
        return NPERR_INVALID_INSTANCE_ERROR;
    return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData**)
{
    if (!instanceRecord(instance))
        return NPERR_INVALID_INSTANCE_ERROR;
    return NPERR_NO_ERROR;
}

void NPP_StreamAsFile(NPP, NPStream*, const char*)
{
}

void NPP_Print(NPP, NPPrint*)
{
}

void NPP_URLNotify(NPP, const char* url, NPReason reason, void*)
{
    logMessage("NPP_URLNotify called with reason = %d; URL = %s\n", reason, url);
}
