// The built NPvkchk.dll as a browser meets it: loaded, its exports taken by name
// and by ordinal, driven through the two tables alone, on real windows of ours.
#include <windows.h>

#include <string.h>

#include <regex>

#include <doctest/doctest.h>

#include "fake_browser.h"
#include "prefix_state.h"

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
    return IsWindowUnicode(hwnd)
               ? GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == LONG_PTR(ownAnswer<wchar_t>)
               : GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == LONG_PTR(ownAnswer<char>);
}

static bool answeredByOwnProcedure(HWND hwnd)
{
    WPARAM w = ~WPARAM(0x1234);
    LPARAM l = LPARAM(1) << (sizeof(LPARAM) * 8 - 2);
    return SendMessageA(hwnd, WM_USER + 9, w, l) == ownAnswer<char>(hwnd, WM_USER + 9, w, l);
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
        {0x0008, 0, NPERR_NO_ERROR, false, false},
        {0x0009, sizeof(NPPluginFuncs), NPERR_NO_ERROR, true, false},
        {0x0009, sizeof(NPPluginFuncs), NPERR_NO_ERROR, false, true},
    };
    for (const auto& row : rows) {
        CAPTURE(row.version);
        Plugin plugin;
        CHECK((plugin.take(plugin.getEntryPoints, MAKEINTRESOURCEA(1)) == plugin.getEntryPoints));
        CHECK((plugin.take(plugin.initialize, MAKEINTRESOURCEA(2)) == plugin.initialize));
        CHECK((plugin.take(plugin.shutdown, MAKEINTRESOURCEA(3)) == plugin.shutdown));

        struct { NPPluginFuncs f; unsigned char behind[32]; } table, pristine;  // behind: not ours
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
        CHECK((row.notified
                   ? f.urlnotify && !f.javaClass
                   : memcmp(&f.urlnotify, &pristine.f.urlnotify, 2 * sizeof(void*)) == 0));
        CHECK(memcmp(table.behind, pristine.behind, sizeof table.behind) == 0);

        // The services are kept even when the version is refused.
        fakeBrowser().plugin = f;
        CHECK(TestInstance().created == NPERR_NO_ERROR);
        CHECK(plugin.shutdown() == NPERR_NO_ERROR);
        CHECK((fakeBrowser().allocationSizes.size() == 1 && fakeBrowser().liveBlocks.empty()));
    }
}

TEST_CASE("instance windows are subclassed, answered by their own procedure and given back")
{
    Plugin plugin;
    REQUIRE(plugin.getEntryPoints(&resetFakeBrowser(9).plugin) == NPERR_NO_ERROR);
    REQUIRE(plugin.initialize(&fakeBrowser().table) == NPERR_NO_ERROR);
    const NPPluginFuncs& f = fakeBrowser().plugin;
    HINSTANCE self = GetModuleHandleA(nullptr);
    WNDCLASSA c = {0, ownAnswer<char>, 0, 0, self, 0, 0, 0, 0, "VkPage"};
    HWND page = CreateWindowA(MAKEINTATOM(RegisterClassA(&c)), "page",
                              WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 400, 0, 0, self, 0);
    HWND w[3];
    NPWindow on[3], none = {};
    for (int i = 0; i < 3; i++) {
        w[i] = CreateWindowA("VkPage", "", WS_CHILD | WS_VISIBLE, 10 + 60 * i, 10, 50, 50, page,
                             nullptr, self, nullptr);
        on[i] = {w[i], 0, 0, 50, 50, {}};
    }
    HWND h = w[0], k = w[1], wide = w[2];
    SetWindowLongPtrW(wide, GWLP_WNDPROC, LONG_PTR(ownAnswer<wchar_t>));  // now a Unicode window
    TestInstance t, other;
    const struct {
        NPWindow* window;
        HWND bound;
        int paints;
    } steps[] = {
        {&on[0], h, 1},         // subclassed and repainted once
        {&on[0], h, 1},         // handed over again (a resize): only repainted
        {&on[1], k, 1},         // another window: the first gets its procedure back
        {nullptr, nullptr, 0},  // taken back
        {&none, nullptr, 0},    // a descriptor without a window binds nothing
        {&on[2], wide, 1},      // a Unicode procedure is reached through CallWindowProcA
    };
    for (const auto& step : steps) {
        paints = 0;
        CHECK(f.setwindow(&t.npp, step.window) == NPERR_NO_ERROR);
        CHECK(paints == step.paints);
        for (HWND x : w) {
            CHECK(GetPropA(x, "instance->pdata") == (x == step.bound ? t.npp.pdata : nullptr));
            CHECK((ownProcedure(x) == (x != step.bound) && answeredByOwnProcedure(x)));
        }
    }
    // A second instance handed the bound window stays out of the way.
    CHECK(f.setwindow(&other.npp, &on[2]) == NPERR_NO_ERROR);
    CHECK((GetPropA(wide, "instance->pdata") == t.npp.pdata && answeredByOwnProcedure(wide)));

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
    InstalledService service;
    Plugin plugin;
    REQUIRE(plugin.getEntryPoints(&resetFakeBrowser(9).plugin) == NPERR_NO_ERROR);
    REQUIRE(plugin.initialize(&fakeBrowser().table) == NPERR_NO_ERROR);
    FakeBrowser& browser = fakeBrowser();
    TestInstance t;
    const std::string arguments = "-server games.example.com -port 7000";
    // Two files, each line ended by a newline, then the stream's last byte.
    REQUIRE(deliverStream(&t.npp, "iTestGame;a.exe\nb dat\n\n", 12) == NPERR_NO_ERROR);
    REQUIRE(browser.posts.size() == 1);
    const PostCall& post = browser.posts[0];
    // Beside the manifest's address: only a trusted server gets the report.
    CHECK((post.url == "http://games.example/ret_objects" && !post.hasTarget && !post.file && post.notifyData == "2"));
    // Each file's cksum CRC of its first 1024 bytes, then its size.
    CHECK(post.bytes == "Content-Type: application/x-www-form-urlencoded\nContent-Length: 64\n\n"
                        "junk=1&number=2&versions=a.exe=12191315543;b+dat=26194053512000" +
                            std::string(1, '\0'));
    CHECK(browser.liveBlocks.size() == 1);  // the stream, entries and request given back
    // The browser reports the post's end, then streams the server's answer.
    browser.plugin.urlnotify(&t.npp, "http://games.example/ret_objects", NPRES_DONE, const_cast<char*>("2"));
    REQUIRE(deliverStream(&t.npp, arguments + "\n") == NPERR_NO_ERROR);
    // The launcher's path holds a blank: it is quoted.
    const std::string client = "\"C:\\vk system\\vkclient.exe\" " + arguments;
    CHECK(waitForLaunch() == Lines{client, "C:\\vk system"});
    CHECK(browser.getUrls == Lines{"http://games.example/index.html _top"});
    CHECK(browser.plugin.destroy(&t.npp, nullptr) == NPERR_NO_ERROR);
    CHECK((browser.liveBlocks.empty() && plugin.shutdown() == NPERR_NO_ERROR));

    // The whole log: this instance opened it anew.
    const Lines log = lastLines();
    REQUIRE(log.size() == 31);
    CHECK(std::regex_match(log[0], std::regex("Log file open at [A-Z][a-z]{2} [A-Z][a-z]{2} "
                                              "[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}")));
    CHECK(Lines(log.begin() + 1, log.end()) ==
          Lines{"trusted servers: http://games.example (" + std::to_string(sizeof(void*) * 8) +
                    "-bit registry view)",
                "NPP_NewStream called.",
                "NPP_Write called; len = 12",
                "NPP_Write called; len = 11", "Doing a realloc",
                "NPP_DestroyStream called; reason = 0, state = 0", "game is iTestGame",
                "In initPaths; got iTestGame", "Path is C:\\vk game", "postBufSize is 172",
                "Awake, about to map file C:\\vk game\\a.exe", "realSize = 3",
                "checksum = 1219131554", "returned checksum = 12191315543",
                "Awake, about to map file C:\\vk game\\b dat", "realSize = 2000",
                "checksum = 2619405351", "returned checksum = 26194053512000",
                "content length is 64", "object count is 2", "About to NPN_PostURLNotify",
                "NPN_PostURLNotify Complete, result = 0; total = 132",
                "NPP_URLNotify called with reason = 0; URL = http://games.example/ret_objects", "NPP_NewStream called.",
                "NPP_Write called; len = 37", "NPP_DestroyStream called; reason = 0, state = 1",
                "Awake -- buffer is '" + arguments + "'", "Starting " + client,
                "Calling NPN_GetURL", "NPN_GetURL is complete, result = 0"});
}
