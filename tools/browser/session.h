// The browser's state for one run, shared by the service table's entries
// (which the plug-in calls without any context) and the session's steps.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "browser.h"
#include "host/npapi.h"

struct Page;

struct Request {
    int number = 0;
    Page* page = nullptr;     // whose instance asked, or whose content it is
    bool post = false;
    std::string url;          // resolved against the page
    bool hasTarget = false;   // null target: the answer goes to the instance
    std::string target;
    std::vector<std::string> headers;  // post only
    std::string body;                  // post only
    std::string referer;               // the page that asks; "" for the page itself
    bool notify = false;
    void* notifyData = nullptr;

    // "POST url" or "GET url", as the transcript and the failures name it.
    std::string describe() const { return (post ? "POST " : "GET ") + url; }
    std::string destination() const { return hasTarget ? " for " + target : " for the instance"; }
};

// One open page and its plug-in instance, whose ndata leads back here.
struct Page {
    int number = 1;       // 1, or 2 for --second's page
    std::string url;      // where the page was found, after redirects
    std::string referer;  // sent on its requests: url, or "" when the page asks for none
    NPP_t npp = {};
    bool live = false;    // between a successful NPP_New and NPP_Destroy
    void* window = nullptr;
    NPWindow descriptor = {};
};

struct Session {
    BrowserOptions options;
    std::string mimeType;
    std::deque<Page> pages;  // a deque: the instances keep pointers into it
    NPPluginFuncs plugin = {};
    NPNetscapeFuncs services = {};
    std::deque<Request> queue;
    int requests = 0;
    int streams = 0;
    std::vector<std::string> navigations;
    std::vector<std::string> failures;
};

extern Session session;

// Fills session.services with the browser's entries (services.cpp).
void fillServiceTable(NPNetscapeFuncs& table, uint8_t minorVersion);

// Fetches an http(s) address, following redirects, with the page that asks
// for it as Referer ("" for none); url becomes the address of the final
// answer (requests.cpp).
struct HttpAnswer;
HttpAnswer httpGet(std::string& url, const std::string& referer);

// Runs one queued request to its end, delivering streams and notifications
// to the instance (requests.cpp).
void runRequest(const Request& request);

// Hands bytes to the instance as one stream (delivery.cpp); end is the
// length the server announced (the stream's "end"), which a stream cut
// short does not reach. Returns false when the plug-in refused the stream
// or a chunk.
bool deliverStream(Page& page, const std::string& url, const std::string& type,
                   const std::string& bytes, uint32_t end, NPReason endReason, void* notifyData);

