// HTTP and HTTPS addresses as the browser stand-in needs them: taken apart
// for a request, and relative references resolved against a page.
#pragma once

#include <string>

struct HttpUrl {
    std::wstring host;
    unsigned short port = 80;
    std::wstring path;  // begins with "/", query included, fragment dropped
    bool secure = false;
};

// Splits an absolute "http://" or "https://" address. Returns false for
// anything else (another scheme, no host, a bad port).
bool parseHttpUrl(const std::string& text, HttpUrl& url);

// Resolves a reference against the page's address as a browser does, the
// fragment dropped. Returns "" unless both are, or make, an http(s) address.
std::string resolveUrl(const std::string& base, const std::string& reference);
