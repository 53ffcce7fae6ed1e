// Starting the service's client launcher with the server's arguments.
#pragma once

#include "../host/instance.h"

enum { kCommandLineSize = 260 };  // terminator included

// Starts vkclient.exe from systemPath with arguments, then sends the browser
// to index.html (beside streamUrl, the stream that asked for the launch,
// when a trusted server list is set). Returns 1 when started, 0 after
// logging a failure.
int startClient(NPP instance, PluginInstance* This, const char* arguments, const char* streamUrl);
