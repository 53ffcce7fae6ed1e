// The servers whose streams the plug-in acts on: the optional value
// TrustedServers under the plug-in's own key, origins separated by blanks.
// Without it any page can drive the plug-in, as before the list existed.
#pragma once

#include <stddef.h>

#include "../host/instance.h"

// What the list allows, in PluginInstance::trust.
enum TrustState {
    kAnyServer = 0,      // no list: every stream is taken
    kListedServers,      // streams from the listed origins only
    // The list is set but unusable: every stream is refused.
    kListTooLong,
    kListNotText,
    kListUnreadable,
    kListNamesNoOrigin,
};

enum { kUrlSize = 2048 };  // the report's address, terminator included

// Reads the list into This when an instance is created, and logs what it
// found: one line, after one for each entry it skips.
void readTrustedServers(PluginInstance* This);

// Whether the stream from url may be taken. A refusal is logged, naming no
// more of the address than its origin.
bool isTrustedStream(const PluginInstance* This, const char* url);

// The address the report is posted to: with a list, "ret_objects" beside the
// manifest's own address, so that fingerprints go nowhere but to the server
// that asked; without one, the relative name for the browser to resolve.
// Returns false after logging when it does not fit url (size bytes).
bool reportAddress(const PluginInstance* This, const char* manifestUrl, char* url, size_t size);
