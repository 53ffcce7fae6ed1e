// Small text rules that both deliverables follow the same way. Inline and
// header-only: each program compiles its own copy and links nothing shared.
#pragma once

#include <stddef.h>
#include <stdio.h>
#include <string.h>

// ASCII letters only: game and section names are compared the way the
// profile service compares them, whatever the system's code page.
inline char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares at most count characters without regard to the case of ASCII
// letters, stopping at the end of either text.
inline bool sameIgnoringCase(const char* a, const char* b, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
        if (a[i] == '\0')
            return true;
    }
    return true;
}

// Writes `directory\program arguments` into line (size bytes). An unquoted
// program path with a blank lets Windows try its pieces in turn
// (C:\Program.exe before C:\Program Files\...), so a blank or tab in the
// directory gets the path quoted; the arguments go on as they stand.
// Returns the length the line needs without its terminator: the line is
// whole only when that is below size, and nothing is written past size.
inline size_t formatProgramLine(char* line, size_t size, const char* directory,
                                const char* program, const char* arguments)
{
    bool quoted = strpbrk(directory, " \t") != nullptr;
    int length = snprintf(line, size, quoted ? "\"%s\\%s\" %s" : "%s\\%s %s", directory, program,
                          arguments);
    return length < 0 ? size_t(-1) : size_t(length);
}
