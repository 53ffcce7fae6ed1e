// vkbrowse.exe's internal interface, grouped by the file that defines it.
// A request's way: the plug-in asks (services.cpp queues it in the run),
// the run's queue is drained (request.cpp), each request goes out and its
// answer comes in over WinHTTP (http.cpp), and request.cpp hands the answer
// to the plug-in as a stream, a navigation or a notification.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <deque>
#include <string>
#include <vector>

#include "host/npapi.h"

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

struct Run;

// One open page and its plug-in instance, whose ndata leads back here: the
// service table's entries find the page, and through it the run.
struct Page {
    Run* run = nullptr;
    int number = 1;       // 1, or 2 for --second's page
    std::string url;      // where the page was found, after redirects
    std::string referer;  // sent on its requests: url, or "" when the page asks for none
    NPP_t npp = {};
    bool live = false;    // between a successful NPP_New and NPP_Destroy
    void* window = nullptr;
    NPWindow descriptor = {};
};

// One run of the browser, from the command line to the report.
struct Run {
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

// run.cpp

// Loads the plug-in, opens the page, runs the exchange, reports. Returns a
// BrowserExit.
int runBrowser(const BrowserOptions& options);

// services.cpp

// Fills table with the browser's entries for a plug-in of that minor version.
void fillServiceTable(NPNetscapeFuncs& table, uint8_t minorVersion);

// What NPN_MemAlloc and NPN_MemFree did. They name no instance, so their
// counts are the process's, not a run's.
struct MemoryCount {
    long allocations = 0;
    long frees = 0;
    long liveBlocks = 0;
    unsigned long long liveBytes = 0;
    long foreignFrees = 0;  // frees of blocks not live from this allocator
};
const MemoryCount& memoryCount();

// Failures of calls that reach no run (a free of a block never handed out,
// a request naming no instance), taken once by the run when it reports.
std::vector<std::string> takeStrayFailures();

// request.cpp

// Takes the next queued request and runs it to its end: sent, its answer
// delivered to the instance that asked, the instance told how it ended.
// False when the queue is empty, or the plug-in has asked for too many.
bool runNextRequest(Run& run);

// http.cpp

// Opens the process's WinHTTP session. proxy is "" for the system's
// setting, "none", or "host:port"; insecure accepts any server certificate.
bool httpStart(const std::string& proxy, bool insecure, std::string& error);

// Fetches an http(s) address, following redirects with a transcript line
// each, with the page that asks for it as Referer ("" for none); url
// becomes the address of the final answer.
HttpAnswer httpGet(std::string& url, const std::string& referer, int timeoutSeconds);

// Posts body with the given header lines (each without line end). A
// redirect is not followed: it is the answer.
HttpAnswer httpPost(const std::string& url, const std::vector<std::string>& headers,
                    const std::string& body, int timeoutSeconds);

// plugin_library.cpp

typedef NPError(NP_EXPORT_CALL* GetEntryPointsFn)(NPPluginFuncs*);
typedef NPError(NP_EXPORT_CALL* InitializeFn)(NPNetscapeFuncs*);
typedef NPError(NP_EXPORT_CALL* ShutdownFn)(void);

struct PluginModule {
    void* library = nullptr;
    GetEntryPointsFn getEntryPoints = nullptr;
    InitializeFn initialize = nullptr;
    ShutdownFn shutdown = nullptr;
};

// Reads a string of the US English, Windows-1252 block ("040904e4") of the
// file's version resource. Returns false with a reason when absent.
bool readVersionString(const std::string& path, const char* key, std::string& value,
                       std::string& error);

// Loads the library and takes its three exports; false with a reason when
// it is missing, will not load, or lacks one.
bool loadPluginModule(const std::string& path, PluginModule& module, std::string& error);
void unloadPluginModule(PluginModule& module);

// Finds the library for a page's type when none is named on the command
// line, in the places and the order browsers of the interface looked: the
// Plugins folder beside this program, then each registration under
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE \Software\MozillaPlugins (in
// the registry view of this program's width); the first library whose
// MIMEType list serves type is taken. Every library passed over and the one
// chosen get a transcript line. Returns false with a message naming the
// type and the places looked in.
bool findPluginForType(const std::string& type, std::string& path, std::string& error);

// transcript.cpp
// The transcript on standard output: every call into the plug-in ("> "),
// every call the plug-in makes back ("< "), and the browser's own doings
// ("# "), indented by nesting.

// A browser note at the current depth.
void transcriptNote(const std::string& text);

// A call from the plug-in into the browser, with its result.
void transcriptService(const std::string& callAndResult);

// A call into the plug-in: enterPlugin before, leavePlugin with the result
// after. Lines the plug-in causes in between are indented below it.
void enterPlugin(const std::string& call);
void leavePlugin(const std::string& result);

// Bytes as a readable C-style string literal: quotes, \n, \r, \0 and \xNN;
// cut after limit bytes with a count of the rest.
std::string quoted(const char* bytes, size_t length, size_t limit = 600);
std::string quoted(const std::string& bytes, size_t limit = 600);
std::string quotedOrNull(const char* text);

// An NPError or NPReason as a number with its name: "0 NPERR_NO_ERROR".
std::string npErrorText(NPError code);
std::string reasonText(NPReason reason);

// window.cpp

// A hidden (unless shown) page window with a child window for the plug-in
// inside; returns the child's handle, or null when either could not be made.
void* createPluginWindow(int width, int height, bool shown);
void destroyPluginWindow(void* child);

// Dispatches the messages waiting for this thread's windows, the plug-in's
// among them, as a browser does between calls into the plug-in.
void pumpMessages();
