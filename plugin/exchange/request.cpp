// The server reads these bytes as they are: every count and separator here
// is part of the protocol, the zero byte at the end included.
#include "request.h"

#include <stdio.h>
#include <string.h>

static const char kHeader[] =
    "Content-Type: application/x-www-form-urlencoded\nContent-Length: %d\n\n";
static const char kBodyPrefix[] = "junk=1&number=%d&versions=";

enum { kLongestNumber = 11 };  // "-2147483648"

ManifestShape splitManifest(char* start, const char* end)
{
    ManifestShape shape = {0, 0, 0, 0, false};
    char* lineStart = start;
    bool zeroInside = false;
    for (char* p = start; p < end; p++) {
        if (*p == '\0') {
            zeroInside = true;
            continue;
        }
        if (*p != '\n')
            continue;
        int64_t length = p - lineStart;
        // A name is a zero-terminated text: a zero inside a line would cut
        // it, and a line past the slot would not fit it.
        if (zeroInside || length >= kNameSize) {
            shape.badLine = shape.lines + 1;
            shape.badLength = int32_t(length);
            shape.zeroInside = zeroInside;
            return shape;
        }
        *p = '\0';
        shape.lines++;
        shape.nameBytes += length;
        lineStart = p + 1;
    }
    return shape;
}

int64_t requestCapacity(int32_t count, int64_t nameBytes)
{
    // The formats' own sizes leave room for their terminators; each pair
    // adds its "=" and ";" to the name and the fingerprint.
    return int64_t(sizeof kHeader) + kLongestNumber + int64_t(sizeof kBodyPrefix) +
           kLongestNumber + nameBytes + int64_t(count) * (kChecksumSize - 1 + 2);
}

// Appends text, blanks as "+"; false when it does not fit with a terminator.
static bool appendPairText(char* buf, int64_t capacity, int64_t* at, const char* text,
                           size_t length)
{
    if (*at + int64_t(length) + 1 > capacity)
        return false;
    char* out = buf + *at;
    for (size_t i = 0; i < length; i++)
        out[i] = text[i] == ' ' ? '+' : text[i];
    *at += int64_t(length);
    return true;
}

int32_t layOutRequest(char* buf, int64_t capacity, const VersionEntry* entries, int32_t count,
                      int32_t* bodyLength)
{
    // The body goes first, behind room for the longest header; the header,
    // written from the body's real length, then takes its place in front.
    const int64_t headerRoom = int64_t(sizeof kHeader) + kLongestNumber;
    if (capacity > INT32_MAX || capacity <= headerRoom)
        return 0;
    char* body = buf + headerRoom;
    const int64_t bodyCapacity = capacity - headerRoom;
    int n = snprintf(body, size_t(bodyCapacity), kBodyPrefix, int(count));
    if (n < 0 || n >= bodyCapacity)
        return 0;
    int64_t at = n;
    for (int32_t i = 0; i < count; i++) {
        const VersionEntry& entry = entries[i];
        if (!appendPairText(body, bodyCapacity, &at, entry.name, strnlen(entry.name, kNameSize - 1)) ||
            !appendPairText(body, bodyCapacity, &at, "=", 1) ||
            !appendPairText(body, bodyCapacity, &at, entry.checksum,
                            strnlen(entry.checksum, kChecksumSize - 1)) ||
            !appendPairText(body, bodyCapacity, &at, ";", 1))
            return 0;
    }
    // The final separator gives way to the zero byte, which is sent too.
    body[at - 1] = '\0';
    int header = snprintf(buf, size_t(headerRoom), kHeader, int(at));
    memmove(buf + header, body, size_t(at));
    *bodyLength = int32_t(at);
    return int32_t(header + at);
}
