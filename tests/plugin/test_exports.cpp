// The plug-in as a browser meets it: the built NPvkchk.dll is loaded with
// LoadLibrary, its exports are looked up by name and by ordinal, and it is
// driven through the two function tables alone. Nothing of the plug-in is
// linked in; npapi.h supplies only the interface's records.
#include <windows.h>

#include <string.h>

#include <map>
#include <string>
#include <vector>

#include <doctest/doctest.h>

#include "host/npapi.h"
#include "prefix_state.h"
#include "wine_files.h"

namespace {

typedef NPError(WINAPI* GetEntryPointsProc)(NPPluginFuncs*);
typedef NPError(WINAPI* InitializeProc)(NPNetscapeFuncs*);
typedef NPError(WINAPI* ShutdownProc)(void);

// The DLL as built beside the tests: build/x64/bin, two levels above us.
std::string pluginPath()
{
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path(self, n < sizeof self ? n : 0);
    for (int up = 0; up < 3; up++)
        path = path.substr(0, path.find_last_of('\\'));
    return path + "\\bin\\NPvkchk.dll";
}

// Whether a function pointer is set, in a form the test macros can print.
template <class Function>
bool filled(Function f)
{
    return f != nullptr;
}

// One load of the library; every load starts from the library's own
// initial state.
struct Plugin {
    HMODULE module;
    GetEntryPointsProc getEntryPoints = nullptr;
    InitializeProc initialize = nullptr;
    ShutdownProc shutdown = nullptr;

    Plugin() : module(LoadLibraryA(pluginPath().c_str()))
    {
        REQUIRE_MESSAGE(module != nullptr, "cannot load " << pluginPath());
        getEntryPoints = reinterpret_cast<GetEntryPointsProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "NP_GetEntryPoints")));
        initialize = reinterpret_cast<InitializeProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "NP_Initialize")));
        shutdown = reinterpret_cast<ShutdownProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "NP_Shutdown")));
        REQUIRE(filled(getEntryPoints));
        REQUIRE(filled(initialize));
        REQUIRE(filled(shutdown));
    }
    ~Plugin() { FreeLibrary(module); }
    void* byOrdinal(WORD ordinal) const
    {
        return reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal)));
    }
};

// The browser's services: an allocator that knows every block it handed out,
// and a record of the pages the plug-in asked for.
struct Post {
    std::string url;
    bool hasTarget;
    std::string bytes;
    NPBool file;
    std::string notifyData;
};

struct Browser {
    NPNetscapeFuncs funcs;
    std::map<void*, uint32_t> live;
    int allocations = 0;
    int strayFrees = 0;  // blocks freed that we never handed out, or twice
    std::vector<std::pair<std::string, std::string>> getUrls;
    std::vector<Post> posts;
} browser;

void* memAlloc(uint32_t size)
{
    void* block = malloc(size ? size : 1);
    memset(block, 0xA5, size);
    browser.live[block] = size;
    browser.allocations++;
    return block;
}

void memFree(void* block)
{
    // No test macro here: nothing may be thrown through the plug-in's frames.
    if (browser.live.erase(block) != 1) {
        browser.strayFrees++;
        return;
    }
    free(block);
}

NPError getUrl(NPP, const char* url, const char* target)
{
    browser.getUrls.push_back({url ? url : "(null)", target ? target : "(null)"});
    return NPERR_NO_ERROR;
}

NPError postUrlNotify(NPP, const char* url, const char* target, uint32_t len, const char* buf,
                      NPBool file, void* notifyData)
{
    browser.posts.push_back({url ? url : "(null)", target != nullptr, std::string(buf, len), file,
                             notifyData ? static_cast<const char*>(notifyData) : "(null)"});
    return NPERR_NO_ERROR;
}

NPNetscapeFuncs* freshBrowser(uint16_t version)
{
    for (auto& block : browser.live)
        free(block.first);
    browser = Browser();
    memset(&browser.funcs, 0, sizeof browser.funcs);
    browser.funcs.size = sizeof browser.funcs;
    browser.funcs.version = version;
    browser.funcs.geturl = getUrl;
    browser.funcs.posturlnotify = postUrlNotify;
    browser.funcs.memalloc = memAlloc;
    browser.funcs.memfree = memFree;
    return &browser.funcs;
}

// The plug-in's table as a browser lays it out, with room behind it that the
// plug-in must not touch.
struct PluginTable {
    NPPluginFuncs funcs;
    unsigned char behind[32];

    explicit PluginTable(uint16_t size = sizeof(NPPluginFuncs))
    {
        memset(this, 0xCC, sizeof *this);
        funcs.size = size;
    }
    bool untouched(const void* field, size_t n) const
    {
        const unsigned char* p = static_cast<const unsigned char*>(field);
        for (size_t i = 0; i < n; i++)
            if (p[i] != 0xCC)
                return false;
        return true;
    }
    bool urlnotifyUntouched() const { return untouched(&funcs.urlnotify, sizeof funcs.urlnotify); }
    bool javaClassUntouched() const { return untouched(&funcs.javaClass, sizeof funcs.javaClass); }
    bool behindUntouched() const { return untouched(behind, sizeof behind); }
};

NPError newInstance(const PluginTable& table, NPP_t& npp)
{
    char type[] = "application/x-velkor-versioning";
    return table.funcs.newp(type, &npp, NP_EMBED, 0, nullptr, nullptr, nullptr);
}

// A child window of a page, with its own procedure, to hand to the plug-in.
LRESULT CALLBACK pageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER && message < 0xC000)
        return LRESULT(message) * 7919 + LRESULT(wParam) * 13 + lParam + LRESULT(hwnd);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void* const pageProcAddress = reinterpret_cast<void*>(pageProc);

HWND pageWindow()
{
    static HWND page = nullptr;
    if (!page) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = pageProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = "VkTestPage";
        RegisterClassA(&wc);
        page = CreateWindowA("VkTestPage", "page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 400,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    return page;
}

void* procOf(HWND hwnd)
{
    return reinterpret_cast<void*>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
}

bool answeredByOwnProcedure(HWND hwnd)
{
    for (UINT message : {UINT(WM_USER), UINT(WM_USER + 99), UINT(WM_APP + 3)}) {
        WPARAM w = 0x1234;
        LPARAM l = -77;
        if (SendMessageA(hwnd, message, w, l) != pageProc(hwnd, message, w, l))
            return false;
    }
    return true;
}

std::string queryVersionString(const std::vector<char>& info, const char* name)
{
    char* value = nullptr;
    UINT length = 0;
    std::string key = std::string("\\StringFileInfo\\040904e4\\") + name;
    if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) ||
        !value)
        return "(none)";
    return value;
}

}  // namespace

TEST_CASE("the three entry points are found by name and by ordinal, and nothing else")
{
    Plugin plugin;
    CHECK(plugin.byOrdinal(1) == reinterpret_cast<void*>(plugin.getEntryPoints));
    CHECK(plugin.byOrdinal(2) == reinterpret_cast<void*>(plugin.initialize));
    CHECK(plugin.byOrdinal(3) == reinterpret_cast<void*>(plugin.shutdown));
    CHECK(plugin.byOrdinal(4) == nullptr);
    for (const char* name : {"NPP_New", "NPP_Initialize", "NP_Initialize@4", "_NP_Initialize@4",
                             "hostTable", "pluginTable"}) {
        CAPTURE(name);
        CHECK_FALSE(filled(GetProcAddress(plugin.module, name)));
    }
}

TEST_CASE("a browser reads the registration strings from the version resource")
{
    std::string path = pluginPath();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    REQUIRE(size > 0);
    std::vector<char> info(size);
    REQUIRE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
    CHECK(queryVersionString(info, "MIMEType") == "application/x-velkor-versioning");
    CHECK(queryVersionString(info, "FileExtents") == "velkor");
    CHECK(queryVersionString(info, "FileOpenName") == "Velkor Versioning (*.wpt)");
    CHECK(queryVersionString(info, "FileDescription") == "Velkor Versioning");
    CHECK(queryVersionString(info, "ProductName") == "Velkor Versioning Plugin");
    CHECK(queryVersionString(info, "FileVersion") == "1, 0, 0, 1");
    CHECK(queryVersionString(info, "ProductVersion") == "1, 0, 0, 1");

    UINT length = 0;
    WORD* translation = nullptr;
    REQUIRE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                           reinterpret_cast<void**>(&translation), &length));
    REQUIRE(length == 4);
    CHECK(translation[0] == 0x0409);
    CHECK(translation[1] == 1252);
}

TEST_CASE("NP_GetEntryPoints fills the handlers and the version, whatever the announced size")
{
    Plugin plugin;
    CHECK(plugin.getEntryPoints(nullptr) == NPERR_INVALID_FUNCTABLE_ERROR);
    for (uint16_t size : {uint16_t(0), uint16_t(sizeof(NPPluginFuncs)), uint16_t(0xFFFF)}) {
        CAPTURE(size);
        PluginTable table(size);
        CHECK(plugin.getEntryPoints(&table.funcs) == NPERR_NO_ERROR);
        CHECK(table.funcs.size == size);
        CHECK(table.funcs.version == 9);
        CHECK(filled(table.funcs.newp));
        CHECK(filled(table.funcs.destroy));
        CHECK(filled(table.funcs.setwindow));
        CHECK(filled(table.funcs.newstream));
        CHECK(filled(table.funcs.destroystream));
        CHECK(filled(table.funcs.asfile));
        CHECK(filled(table.funcs.writeready));
        CHECK(filled(table.funcs.write));
        CHECK(filled(table.funcs.print));
        CHECK_FALSE(filled(table.funcs.event));
        CHECK(table.urlnotifyUntouched());
        CHECK(table.javaClassUntouched());
        CHECK(table.behindUntouched());
    }
}

TEST_CASE("NP_Initialize by browser version, and NP_Shutdown")
{
    const struct {
        uint16_t version;
        NPError result;
        bool notified;  // urlnotify and javaClass filled in
    } cases[] = {
        {0x0100, NPERR_INCOMPATIBLE_VERSION_ERROR, false},  // another major version
        {0x0109, NPERR_INCOMPATIBLE_VERSION_ERROR, false},
        {0x0000, NPERR_NO_ERROR, false},
        {0x0008, NPERR_NO_ERROR, false},
        {0x0009, NPERR_NO_ERROR, true},
        {0x000B, NPERR_NO_ERROR, true},
        {0x00FF, NPERR_NO_ERROR, true},
    };
    for (const auto& c : cases) {
        CAPTURE(c.version);
        Plugin plugin;
        PluginTable table;
        REQUIRE(plugin.getEntryPoints(&table.funcs) == NPERR_NO_ERROR);
        CHECK(plugin.initialize(nullptr) == NPERR_INVALID_FUNCTABLE_ERROR);
        CHECK(plugin.initialize(freshBrowser(c.version)) == c.result);
        if (c.notified) {
            CHECK(filled(table.funcs.urlnotify));
            CHECK(table.funcs.javaClass == nullptr);
        } else {
            CHECK(table.urlnotifyUntouched());
            CHECK(table.javaClassUntouched());
        }
        CHECK(table.behindUntouched());

        // The services table is kept even when the version is refused: the
        // instance record comes from this browser's allocator.
        NPP_t npp{};
        CHECK(newInstance(table, npp) == NPERR_NO_ERROR);
        CHECK(browser.allocations > 0);
        CHECK(table.funcs.destroy(&npp, nullptr) == NPERR_NO_ERROR);
        CHECK(browser.live.empty());

        CHECK(plugin.shutdown() == NPERR_NO_ERROR);
        CHECK(plugin.shutdown() == NPERR_NO_ERROR);
        // Without the services an instance gets no memory.
        int before = browser.allocations;
        NPP_t late{};
        CHECK(newInstance(table, late) == NPERR_OUT_OF_MEMORY_ERROR);
        CHECK(late.pdata == nullptr);
        CHECK(browser.allocations == before);
    }
}

TEST_CASE("NP_Initialize before NP_GetEntryPoints writes through no table")
{
    Plugin plugin;
    CHECK(plugin.initialize(freshBrowser(9)) == NPERR_NO_ERROR);
    PluginTable table;
    CHECK(plugin.getEntryPoints(&table.funcs) == NPERR_NO_ERROR);
    CHECK(table.funcs.version == 9);
    CHECK(table.urlnotifyUntouched());
    NPP_t npp{};
    CHECK(newInstance(table, npp) == NPERR_NO_ERROR);
    CHECK(table.funcs.destroy(&npp, nullptr) == NPERR_NO_ERROR);
    CHECK(browser.live.empty());
    CHECK(browser.strayFrees == 0);
    CHECK(plugin.shutdown() == NPERR_NO_ERROR);
}

TEST_CASE("instances on real windows, from creation to unloading")
{
    HWND page = pageWindow();
    REQUIRE(page);
    HWND windows[2];
    for (int i = 0; i < 2; i++) {
        windows[i] = CreateWindowA("VkTestPage", "plug-in", WS_CHILD | WS_VISIBLE, 10 + 200 * i, 10,
                                   180, 120, page, nullptr, GetModuleHandleA(nullptr), nullptr);
        REQUIRE(windows[i]);
    }
    {
        Plugin plugin;
        PluginTable table;
        REQUIRE(plugin.getEntryPoints(&table.funcs) == NPERR_NO_ERROR);
        REQUIRE(plugin.initialize(freshBrowser(9)) == NPERR_NO_ERROR);

        NPP_t npp[2] = {};
        NPWindow descriptors[2] = {};
        for (int i = 0; i < 2; i++) {
            REQUIRE(newInstance(table, npp[i]) == NPERR_NO_ERROR);
            descriptors[i].window = windows[i];
            descriptors[i].width = 180;
            descriptors[i].height = 120;
            CHECK(table.funcs.setwindow(&npp[i], &descriptors[i]) == NPERR_NO_ERROR);
            CHECK(procOf(windows[i]) != pageProcAddress);
            CHECK(answeredByOwnProcedure(windows[i]));
        }
        // A resize hands the same window over again.
        descriptors[0].width = 90;
        CHECK(table.funcs.setwindow(&npp[0], &descriptors[0]) == NPERR_NO_ERROR);
        CHECK(answeredByOwnProcedure(windows[0]));

        NPPrint print;
        memset(&print, 0, sizeof print);
        print.mode = NP_FULL;
        print.print.fullPrint.pluginPrinted = true;
        table.funcs.print(&npp[0], &print);
        CHECK(print.print.fullPrint.pluginPrinted == false);
        NPStream stream{};
        table.funcs.asfile(&npp[0], &stream, "C:\\unused.tmp");

        // The first page goes away without its window being taken back first.
        CHECK(table.funcs.destroy(&npp[0], nullptr) == NPERR_NO_ERROR);
        CHECK(procOf(windows[0]) == pageProcAddress);
        CHECK(npp[0].pdata == nullptr);
        // The second window is taken back, then the instance goes.
        CHECK(table.funcs.setwindow(&npp[1], nullptr) == NPERR_NO_ERROR);
        CHECK(procOf(windows[1]) == pageProcAddress);
        CHECK(table.funcs.destroy(&npp[1], nullptr) == NPERR_NO_ERROR);
        CHECK(browser.live.empty());
        CHECK(plugin.shutdown() == NPERR_NO_ERROR);
    }
    // The library is gone; the windows live on with their own procedures.
    for (HWND hwnd : windows) {
        CHECK(answeredByOwnProcedure(hwnd));
        DestroyWindow(hwnd);
    }
}

// A game installed where the components key and the service INI file say;
// the guards put back whatever the prefix held before.
struct InstalledGame {
    static constexpr const char* kGame = "vkexportsgame";
    ComponentsKeyGuard key;
    ServiceIniGuard ini;
    std::string root, system, game;

    InstalledGame()
    {
        char temp[MAX_PATH];
        DWORD n = GetTempPathA(sizeof temp, temp);
        root = std::string(temp, n) + "vk-exports";
        system = root + "\\system";
        game = root + "\\game";
        CreateDirectoryA(root.c_str(), nullptr);
        CreateDirectoryA(system.c_str(), nullptr);
        CreateDirectoryA(game.c_str(), nullptr);
        REQUIRE(writeBinaryFile(game + "\\a.exe", "MZ black-box client\n"));
        std::string b;
        for (int i = 0; i < 1500; i++)
            b += char((i * 7 + 3) % 251);
        REQUIRE(writeBinaryFile(game + "\\b dat", b));
        key.setString("SystemPath", system);
        key.setString("PlugInPath", system);
        ini.write(std::string("[") + kGame + "]\r\nStartIn=" + game + "\r\n");
    }
    ~InstalledGame()
    {
        removeFile(game + "\\a.exe");
        removeFile(game + "\\b dat");
        RemoveDirectoryA(game.c_str());
        RemoveDirectoryA(system.c_str());
        RemoveDirectoryA(root.c_str());
    }
};

NPError deliver(const PluginTable& table, NPP npp, const std::string& bytes, size_t chunk)
{
    NPStream stream{};
    stream.url = "http://games.example/check";
    stream.end = uint32_t(bytes.size());
    uint16_t stype = NP_NORMAL;
    char type[] = "application/x-velkor-versioning";
    NPError error = table.funcs.newstream(npp, type, &stream, 0, &stype);
    if (error != NPERR_NO_ERROR)
        return error;
    for (size_t offset = 0; offset < bytes.size(); offset += chunk) {
        std::string piece = bytes.substr(offset, chunk);
        if (table.funcs.writeready(npp, &stream) < int32_t(piece.size()))
            return NPERR_GENERIC_ERROR;
        if (table.funcs.write(npp, &stream, int32_t(offset), int32_t(piece.size()), &piece[0]) !=
            int32_t(piece.size()))
            return NPERR_GENERIC_ERROR;
    }
    return table.funcs.destroystream(npp, &stream, NPRES_DONE);
}

TEST_CASE("one whole version check exchange through the exports")
{
    InstalledGame installed;
    Plugin plugin;
    PluginTable table;
    REQUIRE(plugin.getEntryPoints(&table.funcs) == NPERR_NO_ERROR);
    REQUIRE(plugin.initialize(freshBrowser(9)) == NPERR_NO_ERROR);
    NPP_t npp{};
    REQUIRE(newInstance(table, npp) == NPERR_NO_ERROR);

    // The manifest: two files, each line ended by a newline, then the
    // stream's final byte.
    CHECK(deliver(table, &npp, std::string(InstalledGame::kGame) + ";a.exe\nb dat\n\n", 7) ==
          NPERR_NO_ERROR);
    REQUIRE(browser.posts.size() == 1);
    const Post& post = browser.posts[0];
    CHECK(post.url == "ret_objects");
    CHECK_FALSE(post.hasTarget);
    CHECK(post.file == 0);
    CHECK(post.notifyData == "2");
    // Fingerprints: the cksum CRC of each file's first 1024 bytes, then its size.
    std::string body = "junk=1&number=2&versions=a.exe=404031185820;b+dat=8235069691500";
    body += '\0';
    CHECK(post.bytes == "Content-Type: application/x-www-form-urlencoded\nContent-Length: " +
                            std::to_string(body.size()) + "\n\n" + body);

    // The browser reports the post's end, then streams the server's answer.
    REQUIRE(filled(table.funcs.urlnotify));
    table.funcs.urlnotify(&npp, "ret_objects", NPRES_DONE, const_cast<char*>("2"));
    CHECK(deliver(table, &npp, "REDIRECT;welcome.html\n", 4096) == NPERR_NO_ERROR);
    REQUIRE(browser.getUrls.size() == 1);
    CHECK(browser.getUrls[0].first == "welcome.html");
    CHECK(browser.getUrls[0].second == "_self");

    std::vector<std::string> log = readLines(windowsDirectory() + "\\versioning.log");
    REQUIRE_FALSE(log.empty());
    CHECK(log[0].rfind("Log file open at ", 0) == 0);
    bool notified = false;
    for (const std::string& line : log)
        notified |= line == "NPP_URLNotify called with reason = 0; URL = ret_objects";
    CHECK(notified);

    CHECK(table.funcs.destroy(&npp, nullptr) == NPERR_NO_ERROR);
    CHECK(browser.live.empty());
    CHECK(browser.strayFrees == 0);
    CHECK(plugin.shutdown() == NPERR_NO_ERROR);
}
