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

enum { kUrlSize = 2048 };  // the report's and the navigations' addresses, terminator included

// Reads the list into This when an instance is created, and logs what it
// found and in which registry view: one line, after one for each entry it
// skips. The plug-in's own view first; when that has no list, the other
// (operators on 64-bit Windows write the 64-bit one, where a 32-bit
// plug-in does not look by itself).
void readTrustedServers(PluginInstance* This);

// Whether the stream from url, of MIME type type, may be taken: with a list,
// only from a listed origin and only of the plug-in's own type. A refusal is
// logged, naming no more of the address than its origin.
bool isTrustedStream(const PluginInstance* This, const char* url, const char* type);

// The address the report is posted to: with a list, "ret_objects" beside the
// manifest's own address, so that fingerprints go nowhere but to the server
// that asked; without one, the relative name for the browser to resolve.
// Returns false after logging when it does not fit url (size bytes).
bool reportAddress(const PluginInstance* This, const char* manifestUrl, char* url, size_t size);

// With a list: where the browser is sent for address as the stream from
// streamUrl named it, resolved beside the stream's own address, and only on
// a listed origin. Returns false after logging when the browser is not to
// be sent there.
bool navigationAddress(const PluginInstance* This, const char* streamUrl, const char* address,
                       char* url, size_t size);
