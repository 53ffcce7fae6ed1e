// What the stand-in does as a whole: load the plug-in, open the page, run
// the exchange over HTTP, and say how it went.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

struct BrowserOptions {
    std::string pluginPath;
    std::string pageUrl;
    std::string secondPageUrl;  // opened while the first page's exchange runs; "" for none
    size_t chunkSize = 4096;  // bytes per NPP_Write at most
    bool followSelf = false;  // fetch "_self" navigations and stream them to the instance
    bool showWindow = false;
    uint8_t minorVersion = 9; // of the service table handed to NP_Initialize
    int timeoutSeconds = 10;  // per HTTP answer, from connecting to its last byte
    bool insecure = false;    // accept any server certificate
    std::string proxy;        // "" the system's setting, "none", or "host:port"
    std::string mimeType;     // instead of the version resource's, when given
};

enum BrowserExit {
    kExchangeDone = 0,    // every request answered, every call accepted, a page to go to
    kExchangeFailed = 1,  // the transcript says what went wrong
    kNoPlugin = 2,        // the library could not be registered or loaded
};

int runBrowser(const BrowserOptions& options);
