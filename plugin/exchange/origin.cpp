// Reading, comparing and resolving against server origins.
#include "origin.h"

#include <stdio.h>
#include <string.h>

#include "command_text.h"

enum { kHttpPort = 80, kHttpsPort = 443, kMaxPortDigits = 5 };

static bool startsWithIgnoringCase(const char* text, size_t length, const char* prefix)
{
    size_t count = strlen(prefix);
    return length >= count && sameIgnoringCase(text, prefix, count);
}

static bool isHostCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '-';
}

size_t parseOrigin(const char* text, size_t length, Origin* origin)
{
    static const char kHttp[] = "http://", kHttps[] = "https://";
    size_t at;
    if (startsWithIgnoringCase(text, length, kHttp)) {
        origin->secure = false;
        at = strlen(kHttp);
    } else if (startsWithIgnoringCase(text, length, kHttps)) {
        origin->secure = true;
        at = strlen(kHttps);
    } else {
        return 0;
    }

    origin->host = text + at;
    while (at < length && isHostCharacter(text[at]))
        at++;
    origin->hostLength = size_t(text + at - origin->host);
    if (origin->hostLength == 0)
        return 0;

    origin->port = origin->secure ? kHttpsPort : kHttpPort;
    if (at == length || text[at] != ':')
        return at;
    at++;
    size_t digits = 0;
    unsigned port = 0;
    while (at < length && text[at] >= '0' && text[at] <= '9' && digits < kMaxPortDigits) {
        port = port * 10 + unsigned(text[at] - '0');
        at++;
        digits++;
    }
    if (digits == 0 || port == 0 || port > 65535)
        return 0;
    // A sixth digit is no port of ours, nor the start of a path.
    if (at < length && text[at] >= '0' && text[at] <= '9')
        return 0;
    origin->port = port;
    return at;
}

bool addressOrigin(const char* url, Origin* origin)
{
    size_t length = strlen(url);
    size_t taken = parseOrigin(url, length, origin);
    return taken > 0 && (url[taken] == '\0' || strchr("/?#", url[taken]));
}

bool sameOrigin(const Origin& a, const Origin& b)
{
    return a.secure == b.secure && a.port == b.port && a.hostLength == b.hostLength &&
           sameIgnoringCase(a.host, b.host, a.hostLength);
}

const char* nextListEntry(const char** cursor, size_t* length)
{
    const char* start = *cursor + strspn(*cursor, " \t");
    *length = strcspn(start, " \t");
    *cursor = start + *length;
    return *length ? start : nullptr;
}

size_t resolveBeside(const char* base, const char* name, char* resolved, size_t size)
{
    const char* authority = strstr(base, "://");
    authority = authority ? authority + 3 : base;
    const char* path = authority + strcspn(authority, "/?#");
    const char* pathEnd = path + strcspn(path, "?#");
    const char* kept = path;  // base up to kept stays, then "/" when kept is the path's start
    for (const char* c = path; c < pathEnd; c++)
        if (*c == '/')
            kept = c + 1;
    const char* slash = kept == path ? "/" : "";
    int needed = snprintf(resolved, size, "%.*s%s%s", int(kept - base), base, slash, name);
    return needed < 0 ? size_t(-1) : size_t(needed);
}

// A scheme is a letter, then letters, digits, "+", "-" or ".", then ":".
static size_t schemeLength(const char* address)
{
    const char* c = address;
    if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z')))
        return 0;
    while ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
           *c == '+' || *c == '-' || *c == '.')
        c++;
    return *c == ':' ? size_t(c - address) : 0;
}

size_t resolveAddress(const char* base, const char* address, char* resolved, size_t size)
{
    const char* authority = strstr(base, "://");
    if (!authority)
        return 0;
    authority += 3;
    size_t kept;  // characters of base that stay in front of address
    size_t scheme = schemeLength(address);
    if (scheme > 0) {
        bool web = (scheme == 4 && sameIgnoringCase(address, "http", 4)) ||
                   (scheme == 5 && sameIgnoringCase(address, "https", 5));
        if (!web)
            return 0;
        kept = 0;
    } else if (address[0] == '/' && address[1] == '/') {
        kept = size_t(authority - base) - 2;  // "http:" or "https:"
    } else if (address[0] == '/') {
        kept = size_t(authority - base) + strcspn(authority, "/?#");
    } else if (address[0] == '?') {
        kept = strcspn(base, "?#");
    } else if (address[0] == '#' || address[0] == '\0') {
        kept = strcspn(base, "#");
    } else {
        return resolveBeside(base, address, resolved, size);
    }
    int needed = snprintf(resolved, size, "%.*s%s", int(kept), base, address);
    return needed < 0 ? size_t(-1) : size_t(needed);
}
