// One HTTP exchange through WinHTTP: request out, whole answer in, the
// whole of it bounded by one deadline. Redirects are left to the caller.
#pragma once

#include <string>
#include <vector>

#include "url.h"

struct HttpAnswer {
    std::string error;        // why the exchange failed; "" when it did not
    int status = 0;           // 0 when no answer came
    std::string statusLine;   // "HTTP/1.1 200 OK"
    std::string contentType;  // without parameters
    std::string location;     // of a redirect
    std::string body;         // what arrived, even when cut short
    long long announced = -1; // Content-Length, -1 when absent
    bool cutShort = false;    // fewer body bytes than announced, or none after the deadline
};

// Opens the process's WinHTTP session. proxy is "" for the system's
// setting, "none", or "host:port"; insecure accepts any server certificate.
bool httpStart(const std::string& proxy, bool insecure, std::string& error);

// Sends method to url (http or https) with the given header lines (each
// without line end) and body. Never throws; a failure is described in error.
HttpAnswer httpExchange(const std::string& url, const std::string& method,
                        const std::vector<std::string>& headers, const std::string& body,
                        int timeoutSeconds);

// Why the certificate of url's server is refused, reached through proxy as
// httpStart takes it (certificate.cpp).
std::string refusedCertificate(const HttpUrl& url, const std::string& proxy, int timeoutMilliseconds);

// The certificate url's server shows, taken by a TLS handshake that sends no
// request (through proxy's CONNECT where one is used); null when it cannot be
// had. The caller frees it (tls_look.cpp).
const struct _CERT_CONTEXT* serverCertificate(const HttpUrl& url, const std::string& proxy,
                                              int timeoutMilliseconds);
