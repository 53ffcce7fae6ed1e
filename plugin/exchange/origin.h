// Server origins, scheme://host[:port] of http and https addresses: as the
// trusted server list names them and as the streams' addresses begin. Text
// only, no platform, so the matching is tested on its own.
#pragma once

#include <stddef.h>

struct Origin {
    bool secure;        // https
    const char* host;   // within the text it was read from; not terminated
    size_t hostLength;
    unsigned port;      // 80 or 443 when the text names none
};

// Reads an origin at the start of text (length characters): "http://" or
// "https://" in any case, a host of ASCII letters, digits, "." and "-", and
// an optional ":" with a port from 1 to 65535. Returns the characters read,
// or 0 when the text does not begin with one.
size_t parseOrigin(const char* text, size_t length, Origin* origin);

// The origin of an absolute http or https address, which must be followed
// by nothing, a path, a query or a fragment. A user part, a "\" or any other
// character a browser might read another host out of makes it no address.
bool addressOrigin(const char* url, Origin* origin);

// Same scheme, same port, same host without regard to ASCII case; a longer
// host that ends with the other is another host.
bool sameOrigin(const Origin& a, const Origin& b);

// The next entry of a list separated by blanks and tabs, from *cursor on:
// its start, with its length in *length, or null after the last. Moves
// *cursor past it.
const char* nextListEntry(const char** cursor, size_t* length);

// name resolved against the absolute address base as a relative link on its
// page would be: base up to the last "/" of its path (query and fragment
// dropped; "/" added after a bare origin), then name. Writes at most size
// bytes, terminated; returns the length the whole needs, which fits only
// when it is below size.
size_t resolveBeside(const char* base, const char* name, char* resolved, size_t size);

// address as the browser would resolve it on a page at the absolute address
// base: an http or https address as it stands, "//host..." with base's
// scheme, "/path" on base's origin, "?query" and "#fragment" on base's
// path, anything else beside base (resolveBeside). Writes at most size
// bytes, terminated; returns the length the whole needs (it fits only when
// below size), or 0 for an address of another scheme (javascript:, file:).
size_t resolveAddress(const char* base, const char* address, char* resolved, size_t size);
