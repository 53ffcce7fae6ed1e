// One run of the stand-in, in a browser's order: register the plug-in from
// its version resource, open the page, create the instance in its window,
// stream the content, run what the plug-in asks for until nothing is left,
// then tear down and report.
#include <stdlib.h>

#include "page.h"
#include "plugin_types.h"
#include "url.h"
#include "vkbrowse.h"

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

// Opens the page: the content's address, the instance mode and arguments.
static bool openPage(Run& run, std::string& contentUrl, uint16_t& mode, Embed& embed)
{
    std::string error;
    if (resolveUrl(run.pageUrl, "").empty()) {
        run.failures.push_back("not an http or https address: " + run.pageUrl);
        return false;
    }
    if (!httpStart(run.options.proxy, run.options.insecure, error)) {
        run.failures.push_back(error);
        return false;
    }
    if (run.options.insecure)
        transcriptNote("--insecure: server certificates are accepted without being checked");
    std::string address = run.pageUrl;
    HttpAnswer page = httpGet(address, run.options.timeoutSeconds);
    if (!page.error.empty() || page.status < 200 || page.status >= 300) {
        run.failures.push_back("the page " + run.pageUrl + " could not be opened: " +
                               (page.error.empty() ? page.statusLine : page.error));
        return false;
    }
    // The page's own addresses are relative to where it was found.
    run.pageUrl = address;
    if (run.mimeType.empty() && !pageType(run, page, run.mimeType))
        return false;
    if (page.contentType == run.mimeType) {
        // Content of the plug-in's type opened directly: a full-page instance.
        mode = NP_FULL;
        contentUrl = run.pageUrl;
        transcriptNote("the page itself is " + run.mimeType + ": full-page instance");
        return true;
    }
    if (!findEmbed(page.body, run.mimeType, embed)) {
        run.failures.push_back("the page embeds no content of type " + run.mimeType);
        return false;
    }
    mode = NP_EMBED;
    contentUrl = resolveUrl(run.pageUrl, embed.value("src"));
    if (embed.value("src").empty() || contentUrl.empty()) {
        run.failures.push_back("the embed has no usable src");
        return false;
    }
    std::string attributes;
    for (const auto& attribute : embed.attributes)
        attributes += " " + attribute.first + "=" + quoted(attribute.second, 100);
    transcriptNote("embed of " + run.mimeType + ", content " + contentUrl + "; attributes:" + attributes);
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

// NPP_New for the page's content; run.instanceLive says whether it took.
static void createInstance(Run& run, uint16_t mode, Arguments& arguments)
{
    std::vector<char> mime(run.mimeType.begin(), run.mimeType.end());
    mime.push_back('\0');
    run.npp.ndata = &run;
    enterPlugin("NPP_New(" + quoted(run.mimeType) + ", " + (mode == NP_FULL ? "NP_FULL" : "NP_EMBED") +
                ", " + std::to_string(arguments.argn.size()) + " arguments)");
    NPError result = run.plugin.newp(mime.data(), &run.npp, mode, int16_t(arguments.argn.size()),
                                     arguments.argn.data(), arguments.argv.data(), nullptr);
    leavePlugin(npErrorText(result));
    run.instanceLive = result == NPERR_NO_ERROR;
    if (!run.instanceLive)
        run.failures.push_back("NPP_New answered " + npErrorText(result));
}

// Gives the live instance its window, streams it the content, runs what it
// asks for until nothing is left, then destroys it.
static void runInstance(Run& run, const Embed& embed, const std::string& contentUrl)
{
    int width = dimension(embed.value("width"), 240);
    int height = dimension(embed.value("height"), 60);
    void* window = createPluginWindow(width, height, run.options.showWindow);
    if (!window)
        transcriptNote("no window could be made; the instance gets none");
    NPWindow descriptor = {};
    descriptor.window = window;
    descriptor.width = uint32_t(width);
    descriptor.height = uint32_t(height);
    descriptor.clipRect.right = uint16_t(width);
    descriptor.clipRect.bottom = uint16_t(height);
    if (window && run.plugin.setwindow) {
        enterPlugin("NPP_SetWindow(child window " + std::to_string(width) + "x" + std::to_string(height) + ")");
        NPError result = run.plugin.setwindow(&run.npp, &descriptor);
        leavePlugin(npErrorText(result));
        if (result != NPERR_NO_ERROR)
            run.failures.push_back("NPP_SetWindow answered " + npErrorText(result));
    }
    pumpMessages();

    Request content;
    content.number = ++run.requests;
    content.url = contentUrl;
    run.queue.push_back(content);
    runRequests(run);

    NPSavedData* saved = nullptr;
    enterPlugin("NPP_Destroy()");
    NPError result = run.plugin.destroy ? run.plugin.destroy(&run.npp, &saved) : NPERR_NO_ERROR;
    leavePlugin(npErrorText(result) + (saved ? ", with saved data" : ""));
    run.instanceLive = false;
    if (result != NPERR_NO_ERROR)
        run.failures.push_back("NPP_Destroy answered " + npErrorText(result));
    destroyPluginWindow(window);
}

int runBrowser(const BrowserOptions& options)
{
    Run run;
    run.options = options;
    run.pageUrl = options.pageUrl;
    run.mimeType = options.mimeType;
    std::string contentUrl;
    uint16_t mode = NP_EMBED;
    Embed embed;
    bool pageOpen = false;
    std::string error;
    if (options.pluginPath.empty()) {
        // As a browser: the page first, then the plug-in for its type.
        pageOpen = openPage(run, contentUrl, mode, embed);
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

    Arguments arguments;
    if ((pageOpen || openPage(run, contentUrl, mode, embed)) && run.plugin.newp) {
        arguments.fill(embed);
        createInstance(run, mode, arguments);
    }
    if (run.instanceLive)
        runInstance(run, embed, contentUrl);
    shutDown(module);

    for (const std::string& failure : takeStrayFailures())
        run.failures.push_back(failure);
    if (run.failures.empty() && run.navigations.empty())
        run.failures.push_back("the plug-in asked for no page to go to");
    report(run);
    return run.failures.empty() ? kExchangeDone : kExchangeFailed;
}
