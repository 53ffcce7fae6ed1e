// One HTTP/1.0 exchange over a plain socket: request out, whole answer in,
// connection closed by the server. Winsock is set up once per process.
#pragma once

#include <string>
#include <vector>

#include "url.h"

struct HttpAnswer {
    std::string error;        // why the exchange failed; "" when it did not
    int status = 0;           // 0 when no status line came
    std::string statusLine;
    std::vector<std::string> headers;
    std::string contentType;  // without parameters
    std::string body;         // what arrived, even when cut short
    long long announced = -1; // Content-Length, -1 when absent
    bool cutShort = false;    // fewer body bytes than announced
};

// Sends method and path with the given header lines (each without line
// end) and body, then reads until the server closes. Never throws; a
// failure is described in error.
HttpAnswer httpExchange(const HttpUrl& url, const std::string& method,
                        const std::vector<std::string>& headers, const std::string& body,
                        int timeoutSeconds);

// Splits a raw answer (status line, headers, blank line, body) into answer.
// Used by httpExchange; separate so it can be tested without a socket.
void parseHttpAnswer(const std::string& raw, HttpAnswer& answer);
