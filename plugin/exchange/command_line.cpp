// An unquoted program path with a blank lets Windows try its pieces in turn
// (C:\Program.exe before C:\Program Files\...\vkclient.exe), so a blank
// gets the path quoted. The arguments are the server's and go on as sent.
#include "command_line.h"

#include <stdio.h>
#include <string.h>

size_t buildCommandLine(char* line, size_t size, const char* systemPath, const char* arguments)
{
    bool quoted = strpbrk(systemPath, " \t") != nullptr;
    int length = snprintf(line, size, quoted ? "\"%s\\vkclient.exe\" %s" : "%s\\vkclient.exe %s",
                          systemPath, arguments);
    return length < 0 ? size_t(-1) : size_t(length);
}
