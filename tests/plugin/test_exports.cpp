// The plug-in as a browser meets it: the built NPvkchk.dll loaded with
// LoadLibrary, its exports taken by name and by ordinal, and driven through
// the two function tables alone, on real windows of a page of our own.
#include <windows.h>

#include <string.h>

#include <doctest/doctest.h>

#include "fake_browser.h"
#include "prefix_state.h"
#include "wine_files.h"

static int paints = 0;

template <class Char>
static LRESULT CALLBACK ownAnswer(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER && message < 0xC000)
        return LRESULT(message) * 7919 + LRESULT(wParam) * 13 + lParam + LRESULT(hwnd);
    paints += message == WM_PAINT;
    return sizeof(Char) == 1 ? DefWindowProcA(hwnd, message, wParam, lParam)
                             : DefWindowProcW(hwnd, message, wParam, lParam);
}

// Asked in the window's own character set, the procedure is a real address.
static bool ownProcedure(HWND hwnd)
{
    if (IsWindowUnicode(hwnd))
        return GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == LONG_PTR(ownAnswer<wchar_t>);
    return GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == LONG_PTR(ownAnswer<char>);
}

static bool answeredByOwnProcedure(HWND hwnd)
{
    WPARAM w = ~WPARAM(0x1234);
    LPARAM l = LPARAM(1) << (sizeof(LPARAM) * 8 - 2);
    return SendMessageA(hwnd, WM_USER + 9, w, l) == ownAnswer<char>(hwnd, WM_USER + 9, w, l);
}

// A child of one page shown for the whole run (Wine waits for the X server
// at every top-level unmap).
static HWND child(bool unicode = false)
{
    static int made = 0;
    static HINSTANCE self = GetModuleHandleA(nullptr);
    static WNDCLASSA c = {0, ownAnswer<char>, 0, 0, self, 0, 0, 0, 0, "VkPage"};
    static HWND page = CreateWindowA(MAKEINTATOM(RegisterClassA(&c)), "page",
                                     WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 400, nullptr,
                                     nullptr, self, nullptr);
    HWND hwnd = CreateWindowA("VkPage", "plug-in", WS_CHILD | WS_VISIBLE, 10 + 60 * made++, 10, 50,
                              50, page, nullptr, self, nullptr);
    if (unicode)  // now a Unicode window
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, LONG_PTR(ownAnswer<wchar_t>));
    return hwnd;
}

// One load of the library, from its own initial state each time.
struct Plugin {
    HMODULE module = LoadLibraryA("..\\..\\bin\\NPvkchk.dll");
    NPError(WINAPI* getEntryPoints)(NPPluginFuncs*) = take(getEntryPoints, "NP_GetEntryPoints");
    NPError(WINAPI* initialize)(NPNetscapeFuncs*) = take(initialize, "NP_Initialize");
    NPError(WINAPI* shutdown)(void) = take(shutdown, "NP_Shutdown");
    ~Plugin() { FreeLibrary(module); }
    template <class Function>
    Function take(Function&, const char* name) const
    {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

TEST_CASE("the entry points by name and by ordinal; NP_Initialize by browser version")
{
    const struct {
        uint16_t version, tableSize;
        NPError result;
        bool notified;         // urlnotify and javaClass filled in
        bool initializeFirst;  // before NP_GetEntryPoints: no table to write through
    } rows[] = {
        {0x0100, 0, NPERR_INCOMPATIBLE_VERSION_ERROR, false, false},  // another major version
        {0x0109, 0xFFFF, NPERR_INCOMPATIBLE_VERSION_ERROR, false, false},
        {0x0008, 0, NPERR_NO_ERROR, false, false},
        {0x0009, sizeof(NPPluginFuncs), NPERR_NO_ERROR, true, false},
        {0x00FF, 0xFFFF, NPERR_NO_ERROR, true, false},
        {0x0009, sizeof(NPPluginFuncs), NPERR_NO_ERROR, false, true},
    };
    for (const auto& row : rows) {
        CAPTURE(row.version);
        Plugin plugin;
        CHECK((plugin.take(plugin.getEntryPoints, MAKEINTRESOURCEA(1)) == plugin.getEntryPoints));
        CHECK((plugin.take(plugin.initialize, MAKEINTRESOURCEA(2)) == plugin.initialize));
        CHECK((plugin.take(plugin.shutdown, MAKEINTRESOURCEA(3)) == plugin.shutdown));

        struct {
            NPPluginFuncs f;
            unsigned char behind[32];  // the browser's, not to be touched
        } table, pristine;
        memset(&table, 0xCC, sizeof table);
        table.f.size = row.tableSize;
        pristine = table;
        NPPluginFuncs& f = table.f;
        NPNetscapeFuncs* services = &resetFakeBrowser(row.version).table;
        if (row.initializeFirst)
            CHECK(plugin.initialize(services) == row.result);
        CHECK(plugin.getEntryPoints(&f) == NPERR_NO_ERROR);
        if (!row.initializeFirst)
            CHECK(plugin.initialize(services) == row.result);
        CHECK((f.size == row.tableSize && f.version == 9));
        CHECK((f.newp && f.destroy && f.setwindow && f.newstream && f.destroystream && f.asfile &&
               f.writeready && f.write && f.print && !f.event));
        if (row.notified)
            CHECK((f.urlnotify && !f.javaClass));
        else
            CHECK(memcmp(&f.urlnotify, &pristine.f.urlnotify, 2 * sizeof(void*)) == 0);
        CHECK(memcmp(table.behind, pristine.behind, sizeof table.behind) == 0);

        // The services are kept even when the version is refused, until shutdown.
        fakeBrowser().plugin = f;
        TestInstance first;
        CHECK(first.created == NPERR_NO_ERROR);
        CHECK(f.destroy(&first.npp, nullptr) == NPERR_NO_ERROR);
        CHECK(plugin.shutdown() == NPERR_NO_ERROR);
        TestInstance late;
        CHECK((late.created == NPERR_OUT_OF_MEMORY_ERROR && late.npp.pdata == nullptr));
        CHECK((fakeBrowser().allocationSizes.size() == 1 && fakeBrowser().liveBlocks.empty()));
    }
}

TEST_CASE("instance windows are subclassed, answered by their own procedure and given back")
{
    Plugin plugin;
    REQUIRE(plugin.getEntryPoints(&resetFakeBrowser(9).plugin) == NPERR_NO_ERROR);
    REQUIRE(plugin.initialize(&fakeBrowser().table) == NPERR_NO_ERROR);
    const NPPluginFuncs& f = fakeBrowser().plugin;
    HWND h = child(), k = child(), wide = child(true);
    TestInstance t, other;
    NPWindow onH = {h, 0, 0, 50, 50, {}}, onK = {k, 0, 0, 50, 50, {}}, none = {};
    NPWindow onWide = {wide, 0, 0, 50, 50, {}};
    const struct {
        NPWindow* window;
        HWND bound;
        int paints;
    } steps[] = {
        {&onH, h, 1},           // subclassed and repainted once
        {&onH, h, 1},           // handed over again (a resize): only repainted
        {&onK, k, 1},           // another window: the first gets its procedure back
        {nullptr, nullptr, 0},  // taken back
        {&none, nullptr, 0},    // a descriptor without a window binds nothing...
        {&onH, h, 1},           // ...the next one with a window does
        {&onWide, wide, 1},     // a Unicode procedure is reached through CallWindowProcA
    };
    for (const auto& step : steps) {
        paints = 0;
        CHECK(f.setwindow(&t.npp, step.window) == NPERR_NO_ERROR);
        CHECK(paints == step.paints);
        for (HWND w : {h, k, wide}) {
            CHECK(GetPropA(w, "instance->pdata") == (w == step.bound ? t.npp.pdata : nullptr));
            CHECK((ownProcedure(w) == (w != step.bound) && answeredByOwnProcedure(w)));
        }
    }
    // A second instance handed the bound window stays out of the way; our
    // procedure on a window without a record gives the system's answer.
    CHECK(f.setwindow(&other.npp, &onWide) == NPERR_NO_ERROR);
    CHECK((GetPropA(wide, "instance->pdata") == t.npp.pdata && answeredByOwnProcedure(wide)));
    SetWindowLongPtrA(h, GWLP_WNDPROC, GetWindowLongPtrA(wide, GWLP_WNDPROC));
    CHECK(SendMessageA(h, WM_USER + 9, 2, 3) == 0);
    SetWindowLongPtrA(h, GWLP_WNDPROC, LONG_PTR(ownAnswer<char>));

    // The page goes with the window bound: it gets its own procedure back,
    // and the other instance's end leaves it alone.
    CHECK(f.destroy(&t.npp, nullptr) == NPERR_NO_ERROR);
    CHECK((t.npp.pdata == nullptr && ownProcedure(wide) && IsWindowUnicode(wide)));
    CHECK(f.destroy(&other.npp, nullptr) == NPERR_NO_ERROR);
    CHECK((ownProcedure(wide) && answeredByOwnProcedure(wide)));
    CHECK(fakeBrowser().liveBlocks.empty());
}

TEST_CASE("one whole version check exchange through the exports")
{
    // A game installed where the components key and the service INI file say.
    ComponentsKeyGuard key;
    ServiceIniGuard ini;
    std::string game = windowsDirectory() + "\\vk-exports";
    CreateDirectoryA(game.c_str(), nullptr);
    REQUIRE(writeBinaryFile(game + "\\a.exe", "MZ black-box client\n"));
    REQUIRE(writeBinaryFile(game + "\\b dat", std::string(1500, 'b')));
    key.setString("SystemPath", game);
    key.setString("PlugInPath", game);
    ini.write("[vkexportsgame]\r\nStartIn=" + game + "\r\n");

    Plugin plugin;
    REQUIRE(plugin.getEntryPoints(&resetFakeBrowser(9).plugin) == NPERR_NO_ERROR);
    REQUIRE(plugin.initialize(&fakeBrowser().table) == NPERR_NO_ERROR);
    FakeBrowser& browser = fakeBrowser();
    TestInstance t;
    // Two files, each line ended by a newline, then the stream's last byte.
    CHECK(deliverStream(&t.npp, "vkexportsgame;a.exe\nb dat\n\n", 7) == NPERR_NO_ERROR);
    REQUIRE(browser.posts.size() == 1);
    const PostCall& post = browser.posts[0];
    CHECK((post.url == "ret_objects" && !post.hasTarget && !post.file && post.notifyData == "2"));
    // Each file's cksum CRC of its first 1024 bytes, then its size.
    CHECK(post.bytes == "Content-Type: application/x-www-form-urlencoded\nContent-Length: 64\n\n"
                        "junk=1&number=2&versions=a.exe=404031185820;b+dat=1025052001500" +
                            std::string(1, '\0'));
    // The browser reports the post's end, then streams the server's answer.
    browser.plugin.urlnotify(&t.npp, "ret_objects", NPRES_DONE, const_cast<char*>("2"));
    CHECK(logLines().back() == "NPP_URLNotify called with reason = 0; URL = ret_objects");
    CHECK(deliverStream(&t.npp, "REDIRECT;welcome.html\n") == NPERR_NO_ERROR);
    REQUIRE(browser.getUrls.size() == 1);
    CHECK((browser.getUrls[0].url == "welcome.html" && browser.getUrls[0].target == "_self"));
    CHECK(browser.plugin.destroy(&t.npp, nullptr) == NPERR_NO_ERROR);
    CHECK((browser.liveBlocks.empty() && plugin.shutdown() == NPERR_NO_ERROR));
    removeFile(game + "\\a.exe");
    removeFile(game + "\\b dat");
    RemoveDirectoryA(game.c_str());
}
