// Starting the service's client launcher with the server's arguments.
#pragma once

#include <stddef.h>

#include "../host/instance.h"

enum { kCommandLineSize = 260 };  // terminator included

// Starts vkclient.exe from systemPath with arguments, then sends the browser
// to index.html. Returns 1 when started, 0 after logging a failure.
int startClient(NPP instance, PluginInstance* This, const char* arguments);

// Writes "<systemPath>\vkclient.exe <arguments>" into line (size bytes), the
// program path in quotation marks when it holds a blank. Returns the length
// the line needs without its terminator; the line is whole only when that
// is below size, and nothing is written past size either way.
size_t buildCommandLine(char* line, size_t size, const char* systemPath, const char* arguments);
