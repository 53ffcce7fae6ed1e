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

// What a page embeds: the content's address, the instance mode, and the
// arguments its instance is made with (they must live as long as it).
struct Content {
    std::string url;
    uint16_t mode = NP_EMBED;
    Embed embed;
    Arguments arguments;
};

// Opens the page at page.url: what it embeds into content.
static bool openPage(Page& page, Content& content)
{
    std::string error;
    if (resolveUrl(page.url, "").empty()) {
        session.failures.push_back("not an http or https address: " + page.url);
        return false;
    }
    if (!httpStart(session.options.proxy, session.options.insecure, error)) {
        session.failures.push_back(error);
        return false;
    }
    if (session.options.insecure && page.number == 1)
        transcriptNote("--insecure: server certificates are accepted without being checked");
    std::string address = page.url;
    HttpAnswer answer = httpGet(address, "");
    if (!answer.error.empty() || answer.status < 200 || answer.status >= 300) {
        session.failures.push_back("the page " + page.url + " could not be opened: " +
                                   (answer.error.empty() ? answer.statusLine : answer.error));
        return false;
    }
    // The page's own addresses are relative to where it was found.
    page.url = address;
    page.referer = asksNoReferrer(answer.body) ? "" : address;
    if (page.referer.empty())
        transcriptNote("the page asks for no Referer on its requests");
    if (session.mimeType.empty() && !pageType(answer, session.mimeType))
        return false;
    if (answer.contentType == session.mimeType) {
        // Content of the plug-in's type opened directly: a full-page instance.
        content.mode = NP_FULL;
        content.url = page.url;
        transcriptNote("the page itself is " + session.mimeType + ": full-page instance");
        return true;
    }
    if (!findEmbed(answer.body, session.mimeType, content.embed)) {
        session.failures.push_back("the page embeds no content of type " + session.mimeType);
        return false;
    }
    content.mode = NP_EMBED;
    content.url = resolveUrl(page.url, content.embed.value("src"));
    if (content.embed.value("src").empty() || content.url.empty()) {
        session.failures.push_back("the embed has no usable src");
        return false;
    }
    std::string attributes;
    for (const auto& attribute : content.embed.attributes)
        attributes += " " + attribute.first + "=" + quoted(attribute.second, 100);
    transcriptNote("embed of " + session.mimeType + ", content " + content.url + "; attributes:" +
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

// NPP_New for the page's content; page.live says whether it took.
static void createInstance(Page& page, Content& content)
{
    content.arguments.fill(content.embed);
    std::vector<char> mime(session.mimeType.begin(), session.mimeType.end());
    mime.push_back('\0');
    Arguments& arguments = content.arguments;
    page.npp.ndata = &page;
    enterPlugin("NPP_New(" + quoted(session.mimeType) + ", " +
                (content.mode == NP_FULL ? "NP_FULL" : "NP_EMBED") + ", " +
                std::to_string(arguments.argn.size()) + " arguments)" +
                (session.pages.size() > 1 ? " for page " + std::to_string(page.number) : ""));
    NPError result = session.plugin.newp(mime.data(), &page.npp, content.mode,
                                         int16_t(arguments.argn.size()), arguments.argn.data(),
                                         arguments.argv.data(), nullptr);
    leavePlugin(npErrorText(result));
    page.live = result == NPERR_NO_ERROR;
    if (!page.live)
        session.failures.push_back("NPP_New answered " + npErrorText(result));
}

// Gives the live instance its window and queues its content.
static void showPage(Page& page, const Content& content)
{
    int width = dimension(content.embed.value("width"), 240);
    int height = dimension(content.embed.value("height"), 60);
    page.window = createPluginWindow(width, height, session.options.showWindow);
    if (!page.window)
        transcriptNote("no window could be made; the instance gets none");
    NPWindow& descriptor = page.descriptor;
    descriptor.window = page.window;
    descriptor.width = uint32_t(width);
    descriptor.height = uint32_t(height);
    descriptor.clipRect.right = uint16_t(width);
    descriptor.clipRect.bottom = uint16_t(height);
    if (page.window && session.plugin.setwindow) {
        enterPlugin("NPP_SetWindow(child window " + std::to_string(width) + "x" + std::to_string(height) +
                    ")");
        NPError result = session.plugin.setwindow(&page.npp, &descriptor);
        leavePlugin(npErrorText(result));
        if (result != NPERR_NO_ERROR)
            session.failures.push_back("NPP_SetWindow answered " + npErrorText(result));
    }
    pumpMessages();

    Request request;
    request.number = ++session.requests;
    request.page = &page;
    request.url = content.url;
    // An embed's content is the page's request; a full page is its own.
    if (content.url != page.url)
        request.referer = page.referer;
    session.queue.push_back(request);
}

static void destroyInstance(Page& page)
{
    NPSavedData* saved = nullptr;
    enterPlugin("NPP_Destroy()" +
                (session.pages.size() > 1 ? " for page " + std::to_string(page.number) : ""));
    NPError result = session.plugin.destroy ? session.plugin.destroy(&page.npp, &saved) : NPERR_NO_ERROR;
    leavePlugin(npErrorText(result) + (saved ? ", with saved data" : ""));
    page.live = false;
    if (result != NPERR_NO_ERROR)
        session.failures.push_back("NPP_Destroy answered " + npErrorText(result));
    destroyPluginWindow(page.window);
}

// Runs what the instances ask for until nothing is left. With --second,
// that page is opened once the first page's content has been delivered,
// so both instances are at work at once.
static void runQueue(Content& secondContent)
{
    bool secondPending = !session.options.secondPageUrl.empty();
    while (!session.queue.empty()) {
        Request next = session.queue.front();
        session.queue.pop_front();
        if (next.number > kMaxRequests) {
            session.failures.push_back("the plug-in kept asking; stopped after " +
                                       std::to_string(kMaxRequests) + " requests");
            break;
        }
        runRequest(next);
        if (secondPending) {
            secondPending = false;
            Page& second = session.pages.back();
            transcriptNote("---- a second page, while the first is at work: " + second.url + " ----");
            if (openPage(second, secondContent) && session.plugin.newp) {
                createInstance(second, secondContent);
                if (second.live)
                    showPage(second, secondContent);
            }
        }
    }
}

int runBrowser(const BrowserOptions& options)
{
    session.options = options;
    session.mimeType = options.mimeType;
    session.pages.emplace_back();
    session.pages.back().url = options.pageUrl;
    if (!options.secondPageUrl.empty()) {
        session.pages.emplace_back();
        session.pages.back().number = 2;
        session.pages.back().url = options.secondPageUrl;
    }
    Page& first = session.pages.front();
    Content content, secondContent;
    bool pageOpen = false;
    std::string error;
    if (options.pluginPath.empty()) {
        // As a browser: the page first, then the plug-in for its type.
        pageOpen = openPage(first, content);
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

    if ((pageOpen || openPage(first, content)) && session.plugin.newp)
        createInstance(first, content);
    if (first.live) {
        showPage(first, content);
        runQueue(secondContent);
    }
    for (Page& page : session.pages)
        if (page.live)
            destroyInstance(page);
    shutDown(module);

    if (session.failures.empty() && session.navigations.empty())
        session.failures.push_back("the plug-in asked for no page to go to");
    report();
    return session.failures.empty() ? kExchangeDone : kExchangeFailed;
}
