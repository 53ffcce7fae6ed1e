// Starting the service's client launcher with the server's arguments.
#pragma once

#include "../host/instance.h"

// Starts vkclient.exe from systemPath with the text at This->data as its
// arguments, then sends the browser to index.html. Returns 1 when started,
// 0 after logging a failure.
int startClient(NPP instance, PluginInstance* This);
