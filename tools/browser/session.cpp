// One run of the stand-in, in a browser's order: register the plug-in from
// its version resource, open the page, create the instance in its window,
// stream the content, run what the plug-in asks for until nothing is left,
// then tear down and report.
#include <stdio.h>

#include <vector>

#include "allocator.h"
#include "http.h"
#include "page.h"
#include "plugin_discovery.h"
#include "plugin_module.h"
#include "plugin_types.h"
#include "session.h"
#include "transcript.h"
#include "url.h"
#include "window.h"

enum { kMaxRequests = 32 };  // a plug-in that keeps asking is cut off here

Session session;

// The embed's attributes as argn/argv arrays that live for the instance.
struct Arguments {
    std::vector<std::string> names, values;
    std::vector<char*> argn, argv;
    void fill(const Embed& embed)
    {
        for (const auto& attribute : embed.attributes) {
            names.push_back(attribute.first);
            values.push_back(attribute.second);
        }
        for (size_t i = 0; i < names.size(); i++) {
            argn.push_back(&names[i][0]);
            argv.push_back(&values[i][0]);
        }
    }
};

static int dimension(const std::string& text, int fallback)
{
    int value = atoi(text.c_str());
    return value > 0 && value < 4000 ? value : fallback;
}

// With no plug-in named, the page says what it needs: its own type, unless
// it is HTML, or else the type of its first <embed> that names one.
static bool pageType(const HttpAnswer& page, std::string& type)
{
    Embed first;
    if (!page.contentType.empty() && !sameType(page.contentType, "text/html"))
        type = page.contentType;
    else if (findEmbed(page.body, "", first))
        type = first.value("type");
    else
        session.failures.push_back("the page embeds no content with a type");
    return !type.empty();
}

// Opens the page: the content's address, the instance mode and arguments.
static bool openPage(std::string& contentUrl, uint16_t& mode, Embed& embed)
{
    std::string error;
    if (resolveUrl(session.pageUrl, "").empty()) {
        session.failures.push_back("not an http or https address: " + session.pageUrl);
        return false;
    }
    if (!httpStart(session.options.proxy, session.options.insecure, error)) {
        session.failures.push_back(error);
        return false;
    }
    if (session.options.insecure)
        transcriptNote("--insecure: server certificates are accepted without being checked");
    std::string address = session.pageUrl;
    HttpAnswer page = httpGet(address, "");
    if (!page.error.empty() || page.status < 200 || page.status >= 300) {
        session.failures.push_back("the page " + session.pageUrl + " could not be opened: " +
                                   (page.error.empty() ? page.statusLine : page.error));
        return false;
    }
    // The page's own addresses are relative to where it was found.
    session.pageUrl = address;
    session.referer = asksNoReferrer(page.body) ? "" : address;
    if (session.referer.empty())
        transcriptNote("the page asks for no Referer on its requests");
    if (session.mimeType.empty() && !pageType(page, session.mimeType))
        return false;
    if (page.contentType == session.mimeType) {
        // Content of the plug-in's type opened directly: a full-page instance.
        mode = NP_FULL;
        contentUrl = session.pageUrl;
        transcriptNote("the page itself is " + session.mimeType + ": full-page instance");
        return true;
    }
    if (!findEmbed(page.body, session.mimeType, embed)) {
        session.failures.push_back("the page embeds no content of type " + session.mimeType);
        return false;
    }
    mode = NP_EMBED;
    contentUrl = resolveUrl(session.pageUrl, embed.value("src"));
    if (embed.value("src").empty() || contentUrl.empty()) {
        session.failures.push_back("the embed has no usable src");
        return false;
    }
    std::string attributes;
    for (const auto& attribute : embed.attributes)
        attributes += " " + attribute.first + "=" + quoted(attribute.second, 100);
    transcriptNote("embed of " + session.mimeType + ", content " + contentUrl + "; attributes:" +
                   attributes);
    return true;
}

static void report()
{
    transcriptNote("---- summary ----");
    if (session.navigations.empty())
        transcriptNote("navigation: none");
    for (const std::string& navigation : session.navigations)
        transcriptNote("navigation: " + navigation);
    const MemoryCount& memory = memoryCount();
    transcriptNote("memory: " + std::to_string(memory.allocations) + " blocks handed out, " +
                   std::to_string(memory.frees) + " given back, " + std::to_string(memory.liveBlocks) +
                   " left over (" + std::to_string(memory.liveBytes) + " bytes)");
    if (memory.foreignFrees)
        transcriptNote("memory: " + std::to_string(memory.foreignFrees) +
                       " frees of blocks not handed out");
    for (const std::string& failure : session.failures)
        transcriptNote("FAILED: " + failure);
    transcriptNote(session.failures.empty() ? "exchange complete" : "exchange failed");
}

// Registers the plug-in from its version resource, as a browser does
// when it starts. A plug-in found for the page's type keeps that type.
static bool registerPlugin(const BrowserOptions& options)
{
    std::string error;
    if (!options.mimeType.empty()) {
        transcriptNote("MIME type given on the command line: " + quoted(session.mimeType));
    } else if (session.mimeType.empty() &&
               !readVersionString(options.pluginPath, "MIMEType", session.mimeType, error)) {
        transcriptNote("cannot register the plug-in: " + error);
        return false;
    }
    std::string extents, openName;
    std::string ignored;
    readVersionString(options.pluginPath, "FileExtents", extents, ignored);
    readVersionString(options.pluginPath, "FileOpenName", openName, ignored);
    transcriptNote("plug-in " + options.pluginPath + ": MIMEType " + quoted(session.mimeType) +
                   ", FileExtents " + quoted(extents) + ", FileOpenName " + quoted(openName));
    return true;
}

static void shutDown(PluginModule& module)
{
    enterPlugin("NP_Shutdown()");
    leavePlugin(npErrorText(module.shutdown()));
    unloadPluginModule(module);
}

// Exchanges the function tables. On failure the module is shut down as far
// as it was started, and unloaded.
static bool startPlugin(PluginModule& module)
{
    session.plugin = NPPluginFuncs();
    session.plugin.size = sizeof session.plugin;
    enterPlugin("NP_GetEntryPoints(plug-in table of " + std::to_string(sizeof session.plugin) + " bytes)");
    NPError result = module.getEntryPoints(&session.plugin);
    leavePlugin(npErrorText(result) + ", table version " + std::to_string(session.plugin.version >> 8) +
                "." + std::to_string(session.plugin.version & 0xFF));
    if (result != NPERR_NO_ERROR) {
        unloadPluginModule(module);
        return false;
    }
    fillServiceTable(session.services, session.options.minorVersion);
    enterPlugin("NP_Initialize(browser table version 0." + std::to_string(session.options.minorVersion) + ")");
    result = module.initialize(&session.services);
    leavePlugin(npErrorText(result) + (session.plugin.urlnotify ? ", NPP_URLNotify offered"
                                                                : ", no NPP_URLNotify"));
    if (result != NPERR_NO_ERROR) {
        shutDown(module);
        return false;
    }
    return true;
}

// NPP_New for the page's content; session.instanceLive says whether it took.
static void createInstance(uint16_t mode, Arguments& arguments)
{
    std::vector<char> mime(session.mimeType.begin(), session.mimeType.end());
    mime.push_back('\0');
    enterPlugin("NPP_New(" + quoted(session.mimeType) + ", " + (mode == NP_FULL ? "NP_FULL" : "NP_EMBED") +
                ", " + std::to_string(arguments.argn.size()) + " arguments)");
    NPError result = session.plugin.newp(mime.data(), &session.npp, mode, int16_t(arguments.argn.size()),
                                         arguments.argn.data(), arguments.argv.data(), nullptr);
    leavePlugin(npErrorText(result));
    session.instanceLive = result == NPERR_NO_ERROR;
    if (!session.instanceLive)
        session.failures.push_back("NPP_New answered " + npErrorText(result));
}

// Gives the live instance its window, streams it the content, runs what it
// asks for until nothing is left, then destroys it.
static void runInstance(const Embed& embed, const std::string& contentUrl)
{
    int width = dimension(embed.value("width"), 240);
    int height = dimension(embed.value("height"), 60);
    void* window = createPluginWindow(width, height, session.options.showWindow);
    if (!window)
        transcriptNote("no window could be made; the instance gets none");
    NPWindow descriptor = {};
    descriptor.window = window;
    descriptor.width = uint32_t(width);
    descriptor.height = uint32_t(height);
    descriptor.clipRect.right = uint16_t(width);
    descriptor.clipRect.bottom = uint16_t(height);
    if (window && session.plugin.setwindow) {
        enterPlugin("NPP_SetWindow(child window " + std::to_string(width) + "x" + std::to_string(height) +
                    ")");
        NPError result = session.plugin.setwindow(&session.npp, &descriptor);
        leavePlugin(npErrorText(result));
        if (result != NPERR_NO_ERROR)
            session.failures.push_back("NPP_SetWindow answered " + npErrorText(result));
    }
    pumpMessages();

    Request content;
    content.number = ++session.requests;
    content.url = contentUrl;
    // An embed's content is the page's request; a full page is its own.
    if (contentUrl != session.pageUrl)
        content.referer = session.referer;
    session.queue.push_back(content);
    while (!session.queue.empty()) {
        Request next = session.queue.front();
        session.queue.pop_front();
        if (next.number > kMaxRequests) {
            session.failures.push_back("the plug-in kept asking; stopped after " +
                                       std::to_string(kMaxRequests) + " requests");
            break;
        }
        runRequest(next);
    }

    NPSavedData* saved = nullptr;
    enterPlugin("NPP_Destroy()");
    NPError result = session.plugin.destroy ? session.plugin.destroy(&session.npp, &saved) : NPERR_NO_ERROR;
    leavePlugin(npErrorText(result) + (saved ? ", with saved data" : ""));
    session.instanceLive = false;
    if (result != NPERR_NO_ERROR)
        session.failures.push_back("NPP_Destroy answered " + npErrorText(result));
    destroyPluginWindow(window);
}

int runBrowser(const BrowserOptions& options)
{
    session.options = options;
    session.pageUrl = options.pageUrl;
    session.mimeType = options.mimeType;
    std::string contentUrl;
    uint16_t mode = NP_EMBED;
    Embed embed;
    bool pageOpen = false;
    std::string error;
    if (options.pluginPath.empty()) {
        // As a browser: the page first, then the plug-in for its type.
        pageOpen = openPage(contentUrl, mode, embed);
        if (!pageOpen) {
            report();
            return kExchangeFailed;
        }
        if (!findPluginForType(session.mimeType, session.options.pluginPath, error)) {
            transcriptNote(error);
            return kNoPlugin;
        }
    }
    if (!registerPlugin(session.options))
        return kNoPlugin;
    PluginModule module;
    if (!loadPluginModule(session.options.pluginPath, module, error)) {
        transcriptNote("cannot load the plug-in: " + error);
        return kNoPlugin;
    }
    if (!startPlugin(module))
        return kNoPlugin;

    Arguments arguments;
    if ((pageOpen || openPage(contentUrl, mode, embed)) && session.plugin.newp) {
        arguments.fill(embed);
        createInstance(mode, arguments);
    }
    if (session.instanceLive)
        runInstance(embed, contentUrl);
    shutDown(module);

    if (session.failures.empty() && session.navigations.empty())
        session.failures.push_back("the plug-in asked for no page to go to");
    report();
    return session.failures.empty() ? kExchangeDone : kExchangeFailed;
}
