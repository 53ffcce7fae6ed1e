#include "controller.h"

#include "../host/instance.h"

int exchangeState = kAwaitingManifest;

NPError NPP_DestroyStream(NPP instance, NPStream*, NPReason)
{
    if (!instanceRecord(instance))
        return NPERR_INVALID_INSTANCE_ERROR;
    return NPERR_NO_ERROR;
}
