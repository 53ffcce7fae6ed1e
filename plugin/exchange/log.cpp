// Unbuffered, so every line is on disk at once even if the browser dies.
#include "log.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <windows.h>

FILE* logFile = nullptr;

enum { kMessageSize = 2048, kPathSize = 260 };

static const char kLogName[] = "\\versioning.log";

void formatLogTime(time_t when, char* text, size_t size)
{
    // Spelled out rather than asctime(): the day must carry its leading zero
    // and the names must be English whatever the locale.
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm* local = localtime(&when);
    if (!local) {
        snprintf(text, size, "(unknown time)\n");
        return;
    }
    snprintf(text, size, "%s %s %02d %02d:%02d:%02d %d\n", days[local->tm_wday % 7],
             months[local->tm_mon % 12], local->tm_mday, local->tm_hour, local->tm_min,
             local->tm_sec, local->tm_year + 1900);
}

void openLog(void)
{
    char path[kPathSize];
    UINT length = GetWindowsDirectoryA(path, sizeof path);
    if (length == 0 || length + sizeof kLogName > sizeof path)
        return;
    memcpy(path + length, kLogName, sizeof kLogName);

    if (logFile)
        fclose(logFile);
    logFile = fopen(path, "w");
    if (!logFile)
        return;
    setvbuf(logFile, nullptr, _IONBF, 0);

    char now[64];
    formatLogTime(time(nullptr), now, sizeof now);
    logMessage("Log file open at %s", now);
}

void logMessage(const char* format, ...)
{
    if (!logFile)
        return;
    char text[kMessageSize];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length < 0)
        return;
    if (length < kMessageSize) {
        fputs(text, logFile);
        return;
    }
    // Too long for the buffer (a long server answer): format again into a
    // block of the right size rather than cut what we most want to read.
    char* whole = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
    if (!whole) {
        fputs(text, logFile);
        return;
    }
    va_start(args, format);
    vsnprintf(whole, static_cast<size_t>(length) + 1, format, args);
    va_end(args);
    fputs(whole, logFile);
    free(whole);
}

void logWrite(const char* format, ...)
{
    if (!logFile)
        return;
    va_list args;
    va_start(args, format);
    vfprintf(logFile, format, args);
    va_end(args);
}
