// Each line is formatted whole and handed to the system in one write, with
// no buffer of our own: every line is in the file at once even if the
// browser dies, and costs one call rather than one per character, which is
// what the runtime's unbuffered formatted print makes of it.
#include "log.h"

#include <io.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <windows.h>

#include "locations.h"

FILE* logFile = nullptr;

enum { kMessageSize = 2048 };

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
    unsigned length = readWindowsDirectory(path, sizeof path);
    if (length == 0 || length + sizeof kLogName > sizeof path)
        return;
    memcpy(path + length, kLogName, sizeof kLogName);

    if (logFile)
        fclose(logFile);
    logFile = fopen(path, "w");
    if (!logFile)
        return;
    // Nothing goes through the stream's own buffer; set it off all the same.
    setvbuf(logFile, nullptr, _IONBF, 0);
    logOpenLine();
}

void logOpenLine(void)
{
    char now[64];
    formatLogTime(time(nullptr), now, sizeof now);
    logMessage("Log file open at %s", now);
}

const char* escapeText(const char* text, size_t length, char* out, size_t size)
{
    static const char named[] = "\n\r\t\\", letters[] = "nrt\\";
    size_t n = 0;
    for (size_t i = 0; i < length && size > 0; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        const char* special = c ? strchr(named, c) : nullptr;
        char piece[8] = {char(c), '\0'};
        if (special)
            snprintf(piece, sizeof piece, "\\%c", letters[special - named]);
        else if (c < 0x20 || c == 0x7F)
            snprintf(piece, sizeof piece, "\\x%02X", c);
        size_t pieceLength = strlen(piece);
        if (n + pieceLength >= size)
            break;
        memcpy(out + n, piece, pieceLength);
        n += pieceLength;
    }
    if (size > 0)
        out[n] = '\0';
    return out;
}

// Stores text as the stream's text mode would (each LF as CR LF), in one
// write to the stream's file. Write errors are the log's own business.
static void writeText(const char* text, size_t length)
{
    char stored[2 * kMessageSize];
    char* out = length <= kMessageSize ? stored : static_cast<char*>(malloc(2 * length));
    if (!out)
        return;
    size_t n = 0;
    for (size_t i = 0; i < length; i++) {
        if (text[i] == '\n')
            out[n++] = '\r';
        out[n++] = text[i];
    }
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(logFile)));
    DWORD written;
    WriteFile(file, out, static_cast<DWORD>(n), &written, nullptr);
    if (out != stored)
        free(out);
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
        writeText(text, static_cast<size_t>(length));
        return;
    }
    // Too long for the buffer (a long server answer): format again into a
    // block of the right size rather than cut what we most want to read.
    char* whole = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
    if (!whole) {
        writeText(text, kMessageSize - 1);
        return;
    }
    va_start(args, format);
    vsnprintf(whole, static_cast<size_t>(length) + 1, format, args);
    va_end(args);
    writeText(whole, static_cast<size_t>(length));
    free(whole);
}
