// The trusted server list: read once per instance, checked for every stream.
#include "trusted_servers.h"

#include <stdio.h>
#include <string.h>

#include <windows.h>

#include "log.h"
#include "origin.h"
#include "registry_value.h"

static const char kPluginKey[] = "Software\\Velkor Games Online\\Versioning Plug-in";
static const char kReportName[] = "ret_objects";

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
        if (parseOrigin(entry, length, &origin) == length)
            origins++;
        else
            logMessage("TrustedServers entry '%.*s' is not scheme://host[:port]; skipped\n",
                       int(length), entry);
    }
    return origins;
}

static TrustState readList(PluginInstance* This)
{
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPluginKey, 0, KEY_READ, &key);
    if (status == ERROR_FILE_NOT_FOUND)
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
    This->trust = readList(This);
    if (This->trust == kAnyServer)
        logMessage("no trusted servers set; streams from any server are acted on\n");
    else if (This->trust == kListedServers)
        logMessage("trusted servers: %s\n", This->trustedServers);
    else
        logMessage("TrustedServers %s; every stream is refused\n", kUnusable[This->trust]);
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

bool isTrustedStream(const PluginInstance* This, const char* url)
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
    if (isListed(This->trustedServers, origin))
        return true;
    logMessage("stream from %s://%.*s:%u refused: not a trusted server\n",
               origin.secure ? "https" : "http", int(origin.hostLength), origin.host, origin.port);
    return false;
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
