// The trusted server list: read once per instance, checked for every stream
// and every page the server sends the browser to.
#include "trusted_servers.h"

#include <stdio.h>
#include <string.h>

#include <windows.h>

#include "command_text.h"
#include "log.h"
#include "origin.h"
#include "registry_value.h"

static const char kPluginKey[] = "Software\\Velkor Games Online\\Versioning Plug-in";
static const char kReportName[] = "ret_objects";
static const char kOwnType[] = "application/x-velkor-versioning";

// Why an unusable list refuses everything, by TrustState.
static_assert(kValueSize == 256, "the text below names the longest list");
static const char* const kUnusable[] = {
    "",
    "",
    "is longer than 255 characters",
    "is not a string value",
    "cannot be read",
    "names no valid origin",
};

// Counts the list's origins, logging each entry that is not one.
static int countOrigins(const char* list)
{
    int origins = 0;
    size_t length;
    for (const char* entry; (entry = nextListEntry(&list, &length));) {
        Origin origin;
        if (parseOrigin(entry, length, &origin) == length) {
            origins++;
        } else {
            char shown[4 * kValueSize];
            logMessage("TrustedServers entry '%s' is not scheme://host[:port]; skipped\n",
                       escapeText(entry, length, shown, sizeof shown));
        }
    }
    return origins;
}

// The list in one registry view (view: 0 for the plug-in's own, or a
// KEY_WOW64_ flag). kAnyServer when that view has none.
static TrustState readList(PluginInstance* This, REGSAM view)
{
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPluginKey, 0, KEY_READ | view, &key);
    // Systems before 64-bit Windows may not know the view flags: no other view there.
    if (status == ERROR_FILE_NOT_FOUND || (view && status == ERROR_INVALID_PARAMETER))
        return kAnyServer;
    if (status != ERROR_SUCCESS)
        return kListUnreadable;
    DWORD type = REG_NONE;
    status = readRegistryValue(key, "TrustedServers", This->trustedServers,
                               sizeof This->trustedServers, &type);
    RegCloseKey(key);
    if (status == ERROR_FILE_NOT_FOUND)
        return kAnyServer;
    if (status == ERROR_MORE_DATA)
        return kListTooLong;
    if (status != ERROR_SUCCESS)
        return kListUnreadable;
    if (type != REG_SZ)
        return kListNotText;
    return countOrigins(This->trustedServers) ? kListedServers : kListNamesNoOrigin;
}

void readTrustedServers(PluginInstance* This)
{
    const int ownBits = int(sizeof(void*) * 8);
    int bits = ownBits;
    This->trust = readList(This, 0);
    if (This->trust == kAnyServer) {
        bits = ownBits == 32 ? 64 : 32;
        This->trust = readList(This, ownBits == 32 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY);
    }
    if (This->trust == kAnyServer) {
        logMessage("no trusted servers set; streams from any server are acted on\n");
    } else if (This->trust == kListedServers) {
        char shown[4 * kValueSize];
        logMessage("trusted servers: %s (%d-bit registry view)\n",
                   escapeText(This->trustedServers, strlen(This->trustedServers), shown,
                              sizeof shown),
                   bits);
    } else {
        logMessage("TrustedServers %s; every stream is refused (%d-bit registry view)\n",
                   kUnusable[This->trust], bits);
    }
}

static bool isListed(const char* list, const Origin& origin)
{
    size_t length;
    for (const char* entry; (entry = nextListEntry(&list, &length));) {
        Origin listed;
        if (parseOrigin(entry, length, &listed) == length && sameOrigin(listed, origin))
            return true;
    }
    return false;
}

// Whether the list names origin; if not, one line says so: "WHAT origin refused".
static bool isListedOrSay(const PluginInstance* This, const Origin& origin, const char* what)
{
    if (isListed(This->trustedServers, origin))
        return true;
    logMessage("%s %s://%.*s:%u refused: not a trusted server\n", what,
               origin.secure ? "https" : "http", int(origin.hostLength), origin.host, origin.port);
    return false;
}

// The plug-in's type in any case; parameters after ";" and blanks before
// them do not count.
static bool isOwnType(const char* type)
{
    size_t length = strcspn(type, ";");
    while (length > 0 && (type[length - 1] == ' ' || type[length - 1] == '\t'))
        length--;
    return length == strlen(kOwnType) && sameIgnoringCase(type, kOwnType, length);
}

bool isTrustedStream(const PluginInstance* This, const char* url, const char* type)
{
    if (This->trust == kAnyServer)
        return true;
    if (This->trust != kListedServers) {
        logMessage("stream refused: TrustedServers %s\n", kUnusable[This->trust]);
        return false;
    }
    Origin origin;
    if (!url || !addressOrigin(url, &origin)) {
        logMessage("stream refused: its address is missing or not an absolute http or https "
                   "address\n");
        return false;
    }
    if (!isListedOrSay(This, origin, "stream from"))
        return false;
    // An error page or any other document from the server is no message of
    // the exchange, whatever its text says.
    if (!type || !isOwnType(type)) {
        char shown[256];
        logMessage("stream refused: its type is '%s', not %s\n",
                   type ? escapeText(type, strlen(type), shown, sizeof shown) : "(none)", kOwnType);
        return false;
    }
    return true;
}

bool reportAddress(const PluginInstance* This, const char* manifestUrl, char* url, size_t size)
{
    // Without a list the browser resolves the name against the page, as it
    // always has. With one, only a stream the list let through gets here.
    if (This->trust == kAnyServer) {
        snprintf(url, size, "%s", kReportName);
        return true;
    }
    if (manifestUrl && resolveBeside(manifestUrl, kReportName, url, size) < size)
        return true;
    logMessage("the manifest's address is too long to post the report beside it; length = %d\n",
               manifestUrl ? int(strlen(manifestUrl)) : 0);
    return false;
}

bool navigationAddress(const PluginInstance* This, const char* streamUrl, const char* address,
                       char* url, size_t size)
{
    // The page that embeds us may be anyone's: only the stream's own
    // address, which the list let through, says which server is speaking.
    size_t needed = streamUrl ? resolveAddress(streamUrl, address, url, size) : 0;
    if (needed >= size) {
        logMessage("navigation refused: the address is too long; length = %d\n", int(needed));
        return false;
    }
    Origin origin;
    if (needed == 0 || !addressOrigin(url, &origin)) {
        logMessage("navigation refused: not an http or https address\n");
        return false;
    }
    return isListedOrSay(This, origin, "navigation to");
}
