// The version report's request as the server parses it: the manifest split
// into lines, and the header, form body and pairs laid out byte for byte.
// No platform and no browser here, so the layout is tested on its own.
#pragma once

#include <stdint.h>

#include "fingerprint.h"

enum { kNameSize = 260 };

struct VersionEntry {
    char name[kNameSize];          // the manifest line
    char checksum[kChecksumSize];  // its fingerprint, or "0"
};

// What splitting a manifest found. A line that cannot become an entry stops
// the split; badLine names it (counting from 1), 0 when every line is fine.
struct ManifestShape {
    int32_t lines;      // lines ended by a newline: the report's entries
    int64_t nameBytes;  // their characters, newlines not counted
    int32_t badLine;
    int32_t badLength;  // the bad line's length in bytes
    bool zeroInside;    // the bad line holds a zero byte (else it is too long for a name)
};

// Ends every line between start and end at its newline, which becomes a
// zero byte. Text after the last newline is no line.
ManifestShape splitManifest(char* start, const char* end);

// Bytes the request for `count` entries takes at most when their names hold
// nameBytes characters together: every fingerprint at its longest.
int64_t requestCapacity(int32_t count, int64_t nameBytes);

// Writes the request for `count` entries into buf: the form body, "junk=1",
// the count and "name=checksum;" per entry with the pairs' blanks turned
// into "+" and the last byte (the final ";", or with no entries the "=" of
// "versions=") made a zero, behind a header that gives the body's length.
// Returns the request's length, that zero byte included, with the body's
// length in *bodyLength; 0 when it would not fit capacity.
int32_t layOutRequest(char* buf, int64_t capacity, const VersionEntry* entries, int32_t count,
                      int32_t* bodyLength);
