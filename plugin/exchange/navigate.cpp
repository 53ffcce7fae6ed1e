// The one way the plug-in moves the browser: "ABORT;", "REDIRECT;" and the
// page after a launch all come through here.
#include "navigate.h"

#include "../host/host_services.h"
#include "log.h"
#include "trusted_servers.h"

void navigate(NPP instance, const PluginInstance* This, const char* streamUrl,
              const char* address, const char* target)
{
    char resolved[kUrlSize];
    const char* url = address;
    if (This->trust != kAnyServer) {
        if (!navigationAddress(This, streamUrl, address, resolved, sizeof resolved))
            return;
        url = resolved;
    }
    logMessage("Calling NPN_GetURL\n");
    NPError result = NPN_GetURL(instance, url, target);
    logMessage("NPN_GetURL is complete, result = %d\n", result);
}
