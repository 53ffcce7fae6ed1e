// One run of the stand-in, in a browser's order: register the plug-in from
// its version resource, open the page, create the instance in its window,
// stream the content, run what the plug-in asks for until nothing is left,
// then tear down and report.
#include <stdlib.h>

#include "browser.h"
#include "page.h"
#include "plugin_types.h"
#include "url.h"

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
static bool pageType(Run& run, const HttpAnswer& page, std::string& type)
{
    Embed first;
    if (!page.contentType.empty() && !sameType(page.contentType, "text/html"))
        type = page.contentType;
    else if (findEmbed(page.body, "", first))
        type = first.value("type");
    else
        run.failures.push_back("the page embeds no content with a type");
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
static bool openPage(Run& run, Page& page, Content& content)
{
    std::string error;
    if (resolveUrl(page.url, "").empty()) {
        run.failures.push_back("not an http or https address: " + page.url);
        return false;
    }
    if (!httpStart(run.options.proxy, run.options.insecure, error)) {
        run.failures.push_back(error);
        return false;
    }
    if (run.options.insecure && page.number == 1)
        transcriptNote("--insecure: server certificates are accepted without being checked");
    std::string address = page.url;
    HttpAnswer answer = httpGet(address, "", run.options.timeoutSeconds);
    if (!answer.error.empty() || answer.status < 200 || answer.status >= 300) {
        run.failures.push_back("the page " + page.url + " could not be opened: " +
                               (answer.error.empty() ? answer.statusLine : answer.error));
        return false;
    }
    // The page's own addresses are relative to where it was found.
    page.url = address;
    page.referer = asksNoReferrer(answer.body) ? "" : address;
    if (page.referer.empty())
        transcriptNote("the page asks for no Referer on its requests");
    if (run.mimeType.empty() && !pageType(run, answer, run.mimeType))
        return false;
    if (answer.contentType == run.mimeType) {
        // Content of the plug-in's type opened directly: a full-page instance.
        content.mode = NP_FULL;
        content.url = page.url;
        transcriptNote("the page itself is " + run.mimeType + ": full-page instance");
        return true;
    }
    if (!findEmbed(answer.body, run.mimeType, content.embed)) {
        run.failures.push_back("the page embeds no content of type " + run.mimeType);
        return false;
    }
    content.mode = NP_EMBED;
    content.url = resolveUrl(page.url, content.embed.value("src"));
    if (content.embed.value("src").empty() || content.url.empty()) {
        run.failures.push_back("the embed has no usable src");
        return false;
    }
    std::string attributes;
    for (const auto& attribute : content.embed.attributes)
        attributes += " " + attribute.first + "=" + quoted(attribute.second, 100);
    transcriptNote("embed of " + run.mimeType + ", content " + content.url + "; attributes:" + attributes);
    return true;
}

static void report(Run& run)
{
    transcriptNote("---- summary ----");
    if (run.navigations.empty())
        transcriptNote("navigation: none");
    for (const std::string& navigation : run.navigations)
        transcriptNote("navigation: " + navigation);
    const MemoryCount& memory = memoryCount();
    transcriptNote("memory: " + std::to_string(memory.allocations) + " blocks handed out, " +
                   std::to_string(memory.frees) + " given back, " + std::to_string(memory.liveBlocks) +
                   " left over (" + std::to_string(memory.liveBytes) + " bytes)");
    if (memory.foreignFrees)
        transcriptNote("memory: " + std::to_string(memory.foreignFrees) + " frees of blocks not handed out");
    for (const std::string& failure : run.failures)
        transcriptNote("FAILED: " + failure);
    transcriptNote(run.failures.empty() ? "exchange complete" : "exchange failed");
}

// Registers the plug-in from its version resource, as a browser does
// when it starts. A plug-in found for the page's type keeps that type.
static bool registerPlugin(Run& run)
{
    const std::string& path = run.options.pluginPath;
    std::string error;
    if (!run.options.mimeType.empty()) {
        transcriptNote("MIME type given on the command line: " + quoted(run.mimeType));
    } else if (run.mimeType.empty() && !readVersionString(path, "MIMEType", run.mimeType, error)) {
        transcriptNote("cannot register the plug-in: " + error);
        return false;
    }
    std::string extents, openName;
    std::string ignored;
    readVersionString(path, "FileExtents", extents, ignored);
    readVersionString(path, "FileOpenName", openName, ignored);
    transcriptNote("plug-in " + path + ": MIMEType " + quoted(run.mimeType) + ", FileExtents " +
                   quoted(extents) + ", FileOpenName " + quoted(openName));
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
static bool startPlugin(Run& run, PluginModule& module)
{
    run.plugin = NPPluginFuncs();
    run.plugin.size = sizeof run.plugin;
    enterPlugin("NP_GetEntryPoints(plug-in table of " + std::to_string(sizeof run.plugin) + " bytes)");
    NPError result = module.getEntryPoints(&run.plugin);
    leavePlugin(npErrorText(result) + ", table version " + std::to_string(run.plugin.version >> 8) + "." +
                std::to_string(run.plugin.version & 0xFF));
    if (result != NPERR_NO_ERROR) {
        unloadPluginModule(module);
        return false;
    }
    fillServiceTable(run.services, run.options.minorVersion);
    enterPlugin("NP_Initialize(browser table version 0." + std::to_string(run.options.minorVersion) + ")");
    result = module.initialize(&run.services);
    leavePlugin(npErrorText(result) +
                (run.plugin.urlnotify ? ", NPP_URLNotify offered" : ", no NPP_URLNotify"));
    if (result != NPERR_NO_ERROR) {
        shutDown(module);
        return false;
    }
    return true;
}

// The note that names the page when there are two.
static std::string forPage(const Run& run, const Page& page)
{
    return run.pages.size() > 1 ? " for page " + std::to_string(page.number) : "";
}

// NPP_New for the page's content; page.live says whether it took.
static void createInstance(Run& run, Page& page, Content& content)
{
    content.arguments.fill(content.embed);
    std::vector<char> mime(run.mimeType.begin(), run.mimeType.end());
    mime.push_back('\0');
    Arguments& arguments = content.arguments;
    page.npp.ndata = &page;
    enterPlugin("NPP_New(" + quoted(run.mimeType) + ", " + (content.mode == NP_FULL ? "NP_FULL" : "NP_EMBED") +
                ", " + std::to_string(arguments.argn.size()) + " arguments)" + forPage(run, page));
    NPError result = run.plugin.newp(mime.data(), &page.npp, content.mode, int16_t(arguments.argn.size()),
                                     arguments.argn.data(), arguments.argv.data(), nullptr);
    leavePlugin(npErrorText(result));
    page.live = result == NPERR_NO_ERROR;
    if (!page.live)
        run.failures.push_back("NPP_New answered " + npErrorText(result));
}

// Gives the live instance its window and queues its content.
static void showPage(Run& run, Page& page, const Content& content)
{
    int width = dimension(content.embed.value("width"), 240);
    int height = dimension(content.embed.value("height"), 60);
    page.window = createPluginWindow(width, height, run.options.showWindow);
    if (!page.window)
        transcriptNote("no window could be made; the instance gets none");
    NPWindow& descriptor = page.descriptor;
    descriptor.window = page.window;
    descriptor.width = uint32_t(width);
    descriptor.height = uint32_t(height);
    descriptor.clipRect.right = uint16_t(width);
    descriptor.clipRect.bottom = uint16_t(height);
    if (page.window && run.plugin.setwindow) {
        enterPlugin("NPP_SetWindow(child window " + std::to_string(width) + "x" + std::to_string(height) + ")");
        NPError result = run.plugin.setwindow(&page.npp, &descriptor);
        leavePlugin(npErrorText(result));
        if (result != NPERR_NO_ERROR)
            run.failures.push_back("NPP_SetWindow answered " + npErrorText(result));
    }
    pumpMessages();

    Request request;
    request.number = ++run.requests;
    request.page = &page;
    request.url = content.url;
    // An embed's content is the page's request; a full page is its own.
    if (content.url != page.url)
        request.referer = page.referer;
    run.queue.push_back(request);
}

static void destroyInstance(Run& run, Page& page)
{
    NPSavedData* saved = nullptr;
    enterPlugin("NPP_Destroy()" + forPage(run, page));
    NPError result = run.plugin.destroy ? run.plugin.destroy(&page.npp, &saved) : NPERR_NO_ERROR;
    leavePlugin(npErrorText(result) + (saved ? ", with saved data" : ""));
    page.live = false;
    if (result != NPERR_NO_ERROR)
        run.failures.push_back("NPP_Destroy answered " + npErrorText(result));
    destroyPluginWindow(page.window);
}

// Runs what the instances ask for until nothing is left. With --second,
// that page is opened once the first request has been run (the first
// page's content), so both instances are at work at once.
static void runQueue(Run& run, Content& secondContent)
{
    if (runNextRequest(run) && !run.options.secondPageUrl.empty()) {
        Page& second = run.pages.back();
        transcriptNote("---- a second page, while the first is at work: " + second.url + " ----");
        if (openPage(run, second, secondContent) && run.plugin.newp) {
            createInstance(run, second, secondContent);
            if (second.live)
                showPage(run, second, secondContent);
        }
    }
    while (runNextRequest(run)) {
    }
}

int runBrowser(const BrowserOptions& options)
{
    Run run;
    run.options = options;
    run.mimeType = options.mimeType;
    run.pages.resize(options.secondPageUrl.empty() ? 1 : 2);
    int number = 0;
    for (Page& page : run.pages) {
        page.run = &run;
        page.number = ++number;
        page.url = number == 1 ? options.pageUrl : options.secondPageUrl;
    }
    Page& first = run.pages.front();
    Content content, secondContent;
    bool pageOpen = false;
    std::string error;
    if (options.pluginPath.empty()) {
        // As a browser: the page first, then the plug-in for its type.
        pageOpen = openPage(run, first, content);
        if (!pageOpen) {
            report(run);
            return kExchangeFailed;
        }
        if (!findPluginForType(run.mimeType, run.options.pluginPath, error)) {
            transcriptNote(error);
            return kNoPlugin;
        }
    }
    if (!registerPlugin(run))
        return kNoPlugin;
    PluginModule module;
    if (!loadPluginModule(run.options.pluginPath, module, error)) {
        transcriptNote("cannot load the plug-in: " + error);
        return kNoPlugin;
    }
    if (!startPlugin(run, module))
        return kNoPlugin;

    if ((pageOpen || openPage(run, first, content)) && run.plugin.newp)
        createInstance(run, first, content);
    if (first.live) {
        showPage(run, first, content);
        runQueue(run, secondContent);
    }
    for (Page& page : run.pages)
        if (page.live)
            destroyInstance(run, page);
    shutDown(module);

    for (const std::string& failure : takeStrayFailures())
        run.failures.push_back(failure);
    if (run.failures.empty() && run.navigations.empty())
        run.failures.push_back("the plug-in asked for no page to go to");
    report(run);
    return run.failures.empty() ? kExchangeDone : kExchangeFailed;
}
