// The version report: a manifest's lines with their fingerprints, posted
// back to the server as a form.
#pragma once

#include "../host/instance.h"
#include "fingerprint.h"

enum { kNameSize = 260 };

struct VersionEntry {
    char name[kNameSize];          // the manifest line
    char checksum[kChecksumSize];  // its fingerprint, or "0"
};

// Posts to url ("ret_objects", or that name resolved against the manifest's
// address). Returns 1 when the report was handed to the browser, 0 after
// logging a failure.
int performChecksums(NPP instance, PluginInstance* This, char* manifestStart, const char* url);
