// Sending the browser to a page the server named.
#pragma once

#include "../host/instance.h"

// Asks the browser to load address into target, with the log lines around
// the call. Without a trusted server list, address goes as the server sent
// it, for the browser to resolve against the page; with one, resolved
// beside streamUrl, the address of the stream that named it, and only when
// it lies on a listed server (otherwise one log line, and no call).
void navigate(NPP instance, const PluginInstance* This, const char* streamUrl,
              const char* address, const char* target);
