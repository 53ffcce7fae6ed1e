// The launcher's command line, built without the platform so its quoting
// and its limit are tested on their own.
#pragma once

#include <stddef.h>

enum { kCommandLineSize = 260 };  // terminator included

// Writes "<systemPath>\vkclient.exe <arguments>" into line (size bytes), the
// program path in quotation marks when it holds a blank. Returns the length
// the line needs without its terminator; the line is whole only when that
// is below size, and nothing is written past size either way.
size_t buildCommandLine(char* line, size_t size, const char* systemPath, const char* arguments);
