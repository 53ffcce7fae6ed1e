// HTTP addresses as the browser stand-in needs them: taken apart for a
// request, and relative references resolved against a page.
#pragma once

#include <string>

struct HttpUrl {
    std::string host;
    int port = 80;
    std::string path;  // begins with "/", query included
};

// Splits an absolute "http://host[:port]/path" address. Returns false for
// anything else (another scheme, no host, a bad port).
bool parseHttpUrl(const std::string& text, HttpUrl& url);

// Resolves a reference the way a browser does against the page's address:
// absolute addresses stay, "/x" keeps the host, "x" replaces the last path
// segment, "." and ".." segments are folded, "?q" and "#f" keep the path.
// Returns "" when base is not an http address.
std::string resolveUrl(const std::string& base, const std::string& reference);
