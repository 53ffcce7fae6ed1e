// vkbrowse: a stand-in for a browser of the Netscape plug-in interface 0.9,
// enough of one to drive a plug-in through a real exchange over HTTP or HTTPS.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "browser.h"

static int usage()
{
    fputs("usage: vkbrowse [options] [PLUGIN.dll] URL\n"
          "  URL is a page that embeds the plug-in's type, or content of that type.\n"
          "  Without PLUGIN.dll, the library for the page's type is looked for in the\n"
          "  Plugins folder beside vkbrowse.exe, then in the MozillaPlugins registrations\n"
          "  of HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE (--type: for that type).\n"
          "  --chunk N        deliver streams in NPP_Write calls of at most N bytes (4096)\n"
          "  --follow-self    fetch \"_self\" navigations and stream them to the instance\n"
          "  --show           show the page window (hidden by default)\n"
          "  --minor N        browser table minor version handed to NP_Initialize (9)\n"
          "  --timeout S      seconds to wait for each HTTP answer, all of it (10)\n"
          "  --type MIME      take this MIME type instead of the version resource's\n"
          "  --insecure       accept any server certificate (self-signed, unknown, expired, another name)\n"
          "  --proxy P        HOST:PORT, or none; the system's proxy setting by default\n"
          "  --second URL     open this page too, in the same process, once the first page's\n"
          "                   content is delivered: two instances at work at once\n"
          "Exit status: 0 exchange complete, 1 exchange failed, 2 no usable plug-in or bad usage.\n",
          stderr);
    return kNoPlugin;
}

// The number in text, or a message that names the option and its range.
static bool number(const char* option, const char* text, long low, long high, long& value)
{
    char* end = nullptr;
    value = strtol(text, &end, 10);
    if (*text && !*end && value >= low && value <= high)
        return true;
    fprintf(stderr, "vkbrowse: %s takes a number from %ld to %ld, not \"%s\"\n", option, low, high, text);
    return false;
}

int main(int argc, char** argv)
{
    BrowserOptions options;
    int i = 1;
    for (; i < argc && strncmp(argv[i], "--", 2) == 0; i++) {
        const char* option = argv[i];
        long value = 0;
        if (strcmp(option, "--follow-self") == 0) {
            options.followSelf = true;
            continue;
        }
        if (strcmp(option, "--show") == 0) {
            options.showWindow = true;
            continue;
        }
        if (strcmp(option, "--insecure") == 0) {
            options.insecure = true;
            continue;
        }
        bool known = strcmp(option, "--chunk") == 0 || strcmp(option, "--minor") == 0 ||
                     strcmp(option, "--type") == 0 || strcmp(option, "--timeout") == 0 ||
                     strcmp(option, "--proxy") == 0 || strcmp(option, "--second") == 0;
        if (!known) {
            fprintf(stderr, "vkbrowse: unknown option %s\n", option);
            return usage();
        }
        if (i + 1 >= argc) {
            fprintf(stderr, "vkbrowse: %s needs a value\n", option);
            return usage();
        }
        const char* text = argv[++i];
        if (strcmp(option, "--type") == 0) {
            options.mimeType = text;
        } else if (strcmp(option, "--second") == 0) {
            options.secondPageUrl = text;
        } else if (strcmp(option, "--proxy") == 0) {
            const char* colon = strrchr(text, ':');
            char* end = nullptr;
            long port = colon ? strtol(colon + 1, &end, 10) : 0;
            if (strcmp(text, "none") != 0 && (colon == text || port < 1 || port > 65535 || *end)) {
                fprintf(stderr, "vkbrowse: --proxy takes HOST:PORT or none, not \"%s\"\n", text);
                return usage();
            }
            options.proxy = text;
        } else if (strcmp(option, "--chunk") == 0) {
            if (!number(option, text, 1, 1 << 24, value))
                return usage();
            options.chunkSize = size_t(value);
        } else if (strcmp(option, "--minor") == 0) {
            if (!number(option, text, 0, 255, value))
                return usage();
            options.minorVersion = uint8_t(value);
        } else {
            if (!number(option, text, 1, 3600, value))
                return usage();
            options.timeoutSeconds = int(value);
        }
    }
    if (argc - i == 2)
        options.pluginPath = argv[i++];
    else if (argc - i != 1)
        return usage();
    options.pageUrl = argv[i];
    return runBrowser(options);
}
