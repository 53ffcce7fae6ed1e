// The instance window on real windows: a visible page with child windows
// whose own procedure (the "browser's") records what reaches it, so the
// tests see exactly what the plug-in's subclassing passes on.
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include <doctest/doctest.h>

#include "fake_browser.h"
#include "host/host_services.h"
#include "host/instance.h"

namespace {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Seen> seen;  // private messages (WM_USER to WM_APP range), as the browser's procedure got them
int paints = 0;
int erases = 0;

// A distinctive answer, so a message answered by anyone else shows.
LRESULT answerFor(UINT message, WPARAM wParam, LPARAM lParam)
{
    return LRESULT(message) * 1000003 + LRESULT(wParam) * 31 + lParam;
}

LRESULT CALLBACK browserProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER && message < 0xC000) {
        seen.push_back({hwnd, message, wParam, lParam});
        return answerFor(message, wParam, lParam);
    }
    if (message == WM_ERASEBKGND)
        erases++;
    if (message == WM_PAINT) {
        paints++;
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK browserProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER && message < 0xC000) {
        seen.push_back({hwnd, message, wParam, lParam});
        return answerFor(message, wParam, lParam);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Window procedures as plain addresses, for comparing and printing.
void* procOf(HWND hwnd)
{
    return reinterpret_cast<void*>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
}

void* const ownProc = reinterpret_cast<void*>(browserProc);

void* propertyOf(HWND hwnd)
{
    return GetPropA(hwnd, "instance->pdata");
}

void pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A browser page holding plug-in windows: one shown top-level window for the
// whole run (Wine waits for the X server at every top-level unmap) and the
// children a test makes, painted and settled before the test touches them.
struct Page {
    HWND page;
    std::vector<HWND> children;

    Page()
    {
        static HWND shared = nullptr;
        if (!shared) {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = browserProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
            wc.lpszClassName = "VkTestBrowserWindow";
            RegisterClassA(&wc);
            WNDCLASSW wcw = {};
            wcw.lpfnWndProc = browserProcW;
            wcw.hInstance = GetModuleHandleA(nullptr);
            wcw.lpszClassName = L"VkTestBrowserWindowW";
            RegisterClassW(&wcw);
            shared = CreateWindowA("VkTestBrowserWindow", "page", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                   0, 0, 600, 400, nullptr, nullptr, GetModuleHandleA(nullptr),
                                   nullptr);
        }
        page = shared;
        REQUIRE(page != nullptr);
        settle();
    }
    ~Page()
    {
        for (HWND c : children)
            DestroyWindow(c);
        pump();
    }
    HWND child(bool unicode = false)
    {
        int n = int(children.size());
        HWND hwnd = unicode ? CreateWindowW(L"VkTestBrowserWindowW", L"plug-in \x00E9",
                                            WS_CHILD | WS_VISIBLE, 10 + 110 * n, 10, 100, 80,
                                            page, nullptr, GetModuleHandleA(nullptr), nullptr)
                            : CreateWindowA("VkTestBrowserWindow", "plug-in",
                                            WS_CHILD | WS_VISIBLE, 10 + 110 * n, 10, 100, 80,
                                            page, nullptr, GetModuleHandleA(nullptr), nullptr);
        REQUIRE(hwnd != nullptr);
        children.push_back(hwnd);
        settle();
        return hwnd;
    }
    void settle()
    {
        pump();
        UpdateWindow(page);
        for (HWND c : children)
            UpdateWindow(c);
        pump();
        seen.clear();
        paints = erases = 0;
    }
};

NPWindow descriptor(HWND hwnd)
{
    NPWindow w = {};
    w.window = hwnd;
    w.width = 100;
    w.height = 80;
    return w;
}

// Sends a few messages and checks that each is answered as the browser's
// procedure answers it, with the parameters it was sent with.
void checkAnsweredByOwnProcedure(HWND hwnd)
{
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } cases[] = {
        {WM_USER, 0, 0},
        {WM_USER + 7, 1, -1},
        {WM_USER + 300, WPARAM(0x12345678), LPARAM(-0x7654321)},
        {WM_APP + 1, ~WPARAM(0), LPARAM(1) << (sizeof(LPARAM) * 8 - 2)},
    };
    for (const auto& c : cases) {
        seen.clear();
        CAPTURE(c.message);
        CHECK(SendMessageA(hwnd, c.message, c.wParam, c.lParam) ==
              answerFor(c.message, c.wParam, c.lParam));
        REQUIRE(seen.size() == 1);
        CHECK(seen[0].hwnd == hwnd);
        CHECK(seen[0].wParam == c.wParam);
        CHECK(seen[0].lParam == c.lParam);
    }
}

}  // namespace

TEST_CASE("a window handed over is subclassed, repainted once and answered by its own procedure")
{
    installFakeBrowser();
    Page page;
    HWND h = page.child();
    TestInstance t;
    PluginInstance* This = t.record();
    NPWindow w = descriptor(h);

    CHECK(NPP_SetWindow(&t.npp, &w) == NPERR_NO_ERROR);
    CHECK(paints == 1);
    CHECK(erases == 1);
    CHECK(procOf(h) != ownProc);
    CHECK(This->window == &w);
    CHECK(This->hwnd == h);
    CHECK(This->defaultWindowProc == ownProc);
    CHECK(propertyOf(h) == This);
    checkAnsweredByOwnProcedure(h);

    CHECK(NPP_Destroy(&t.npp, nullptr) == NPERR_NO_ERROR);
    CHECK(procOf(h) == ownProc);
    CHECK(propertyOf(h) == nullptr);
    CHECK(t.npp.pdata == nullptr);
    CHECK(fakeBrowser().liveBlocks.empty());
    checkAnsweredByOwnProcedure(h);
}

TEST_CASE("window binding transitions")
{
    installFakeBrowser();
    Page page;
    HWND h = page.child();
    HWND k = page.child();
    TestInstance t;
    PluginInstance* This = t.record();
    NPWindow onH = descriptor(h), onHAgain = descriptor(h), onK = descriptor(k);
    NPWindow noWindow = descriptor(nullptr);

    SUBCASE("the same window again is only repainted")
    {
        NPP_SetWindow(&t.npp, &onH);
        void* installed = procOf(h);
        page.settle();
        CHECK(NPP_SetWindow(&t.npp, &onHAgain) == NPERR_NO_ERROR);
        CHECK(paints == 1);
        CHECK(erases == 1);
        CHECK(This->window == &onHAgain);
        CHECK(procOf(h) == installed);
        CHECK(This->defaultWindowProc == ownProc);
        CHECK(propertyOf(h) == This);
        checkAnsweredByOwnProcedure(h);
    }
    SUBCASE("another window: the first gets its procedure back before the second is bound")
    {
        NPP_SetWindow(&t.npp, &onH);
        page.settle();
        CHECK(NPP_SetWindow(&t.npp, &onK) == NPERR_NO_ERROR);
        CHECK(procOf(h) == ownProc);
        CHECK(propertyOf(h) == nullptr);
        CHECK(procOf(k) != ownProc);
        CHECK(propertyOf(k) == This);
        CHECK(This->hwnd == k);
        CHECK(This->window == &onK);
        CHECK(paints == 1);
        checkAnsweredByOwnProcedure(k);
    }
    SUBCASE("no descriptor, or one without a window, after a binding restores the window")
    {
        for (NPWindow* gone : {static_cast<NPWindow*>(nullptr), &noWindow}) {
            CAPTURE(gone);
            NPP_SetWindow(&t.npp, &onH);
            page.settle();
            CHECK(NPP_SetWindow(&t.npp, gone) == NPERR_NO_ERROR);
            CHECK(procOf(h) == ownProc);
            CHECK(propertyOf(h) == nullptr);
            CHECK(This->window == gone);
            CHECK(This->hwnd == nullptr);
            CHECK(This->defaultWindowProc == nullptr);
            CHECK(paints == 0);
            // and a later window is bound afresh
            CHECK(NPP_SetWindow(&t.npp, &onH) == NPERR_NO_ERROR);
            CHECK(This->hwnd == h);
            CHECK(paints == 1);
            NPP_SetWindow(&t.npp, nullptr);
        }
    }
    SUBCASE("a descriptor without a window binds nothing; the next one with a window does")
    {
        CHECK(NPP_SetWindow(&t.npp, &noWindow) == NPERR_NO_ERROR);
        CHECK(This->window == &noWindow);
        CHECK(This->hwnd == nullptr);
        CHECK(paints == 0);
        CHECK(NPP_SetWindow(&t.npp, &onH) == NPERR_NO_ERROR);
        CHECK(This->hwnd == h);
        CHECK(This->defaultWindowProc == ownProc);
        CHECK(paints == 1);
    }
    SUBCASE("a null instance, or one without a record, changes nothing")
    {
        CHECK(NPP_SetWindow(nullptr, &onH) == NPERR_INVALID_INSTANCE_ERROR);
        CHECK(NPP_Destroy(nullptr, nullptr) == NPERR_INVALID_INSTANCE_ERROR);
        NPP_t empty{};
        CHECK(NPP_SetWindow(&empty, &onH) == NPERR_INVALID_INSTANCE_ERROR);
        CHECK(NPP_Destroy(&empty, nullptr) == NPERR_INVALID_INSTANCE_ERROR);
        CHECK(procOf(h) == ownProc);
        CHECK(paints == 0);
    }
    SUBCASE("destroying an instance that never had a window touches no window")
    {
        CHECK(NPP_Destroy(&t.npp, nullptr) == NPERR_NO_ERROR);
        CHECK(paints == 0);
        CHECK(fakeBrowser().liveBlocks.empty());
        // a second destroy finds no record and frees nothing twice
        CHECK(NPP_Destroy(&t.npp, nullptr) == NPERR_INVALID_INSTANCE_ERROR);
    }
}

TEST_CASE("two instances handed one window never pass messages back to the plug-in")
{
    installFakeBrowser();
    Page page;
    HWND h = page.child();
    NPWindow w1 = descriptor(h), w2 = descriptor(h);
    for (bool firstGoesFirst : {true, false}) {
        CAPTURE(firstGoesFirst);
        auto* a = new TestInstance;
        auto* b = new TestInstance;
        NPP_SetWindow(&a->npp, &w1);
        CHECK(NPP_SetWindow(&b->npp, &w2) == NPERR_NO_ERROR);
        CHECK(b->record()->hwnd == nullptr);
        CHECK(b->record()->defaultWindowProc == nullptr);
        CHECK(propertyOf(h) == a->record());
        checkAnsweredByOwnProcedure(h);
        delete (firstGoesFirst ? a : b);
        delete (firstGoesFirst ? b : a);
        CHECK(procOf(h) == ownProc);
        CHECK(propertyOf(h) == nullptr);
        checkAnsweredByOwnProcedure(h);
    }
    CHECK(fakeBrowser().liveBlocks.empty());
}

// The plug-in's procedure is an ANSI one, so text crosses the ANSI code page
// on its way through; what matters is that the Unicode procedure is reached
// (through CallWindowProcA: what SetWindowLongPtrA returns for it is no
// address to call) and gets its own procedure back in the end.
TEST_CASE("a Unicode window is answered by its own procedure and gets it back")
{
    installFakeBrowser();
    Page page;
    HWND h = page.child(true);
    void* const ownProcW = reinterpret_cast<void*>(browserProcW);
    REQUIRE(reinterpret_cast<void*>(GetWindowLongPtrW(h, GWLP_WNDPROC)) == ownProcW);
    REQUIRE(IsWindowUnicode(h));
    TestInstance t;
    NPWindow w = descriptor(h);
    NPP_SetWindow(&t.npp, &w);
    REQUIRE(t.record()->hwnd == h);

    wchar_t wide[32] = {};
    CHECK(GetWindowTextW(h, wide, 32) == 9);
    CHECK(std::wstring(wide) == L"plug-in \x00E9");
    CHECK(SetWindowTextW(h, L"\x00C5 ok"));
    CHECK(GetWindowTextW(h, wide, 32) == 4);
    CHECK(std::wstring(wide) == L"\x00C5 ok");
    checkAnsweredByOwnProcedure(h);

    NPP_Destroy(&t.npp, nullptr);
    CHECK(reinterpret_cast<void*>(GetWindowLongPtrW(h, GWLP_WNDPROC)) == ownProcW);
    CHECK(IsWindowUnicode(h));
    CHECK(GetWindowTextW(h, wide, 32) == 4);
}

TEST_CASE("the plug-in's procedure on a window without a record gives the system's answer")
{
    installFakeBrowser();
    Page page;
    HWND h = page.child();
    HWND stray = page.child();
    TestInstance t;
    NPWindow w = descriptor(h);
    NPP_SetWindow(&t.npp, &w);
    void* instanceProc = procOf(h);

    SetWindowLongPtrA(stray, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(instanceProc));
    seen.clear();
    CHECK(SendMessageA(stray, WM_USER + 5, 2, 3) == 0);
    CHECK(seen.empty());
    char text[16] = {};
    CHECK(GetWindowTextA(stray, text, sizeof text) == 7);  // DefWindowProc keeps the title
    SetWindowLongPtrA(stray, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(browserProc));
}

TEST_CASE("a window that refuses the plug-in's procedure stays unbound")
{
    installFakeBrowser();
    Page page;
    HWND gone = page.child();
    DestroyWindow(gone);
    page.children.clear();
    TestInstance t;
    NPWindow w = descriptor(gone);
    CHECK(NPP_SetWindow(&t.npp, &w) == NPERR_NO_ERROR);
    CHECK(t.record()->window == &w);
    CHECK(t.record()->hwnd == nullptr);
    CHECK(t.record()->defaultWindowProc == nullptr);
    CHECK(NPP_SetWindow(&t.npp, nullptr) == NPERR_NO_ERROR);
    CHECK(NPP_Destroy(&t.npp, nullptr) == NPERR_NO_ERROR);
}

TEST_CASE("NPP_Destroy returns every block the instance still holds")
{
    installFakeBrowser();
    TestInstance t;
    NPP_NewStream(&t.npp, nullptr, nullptr, 0, nullptr);
    std::string bytes(300, 'q');
    REQUIRE(NPP_Write(&t.npp, nullptr, 0, int32_t(bytes.size()), &bytes[0]) == 300);
    t.record()->result = static_cast<VersionEntry*>(NPN_MemAlloc(280));
    REQUIRE(fakeBrowser().liveBlocks.size() == 3);
    CHECK(NPP_Destroy(&t.npp, nullptr) == NPERR_NO_ERROR);
    CHECK(fakeBrowser().liveBlocks.empty());
}

TEST_CASE("printing, streams as files and URL notifications")
{
    installFakeBrowser();
    TestInstance t;

    SUBCASE("a full-page print is left to the browser; an embedded one is untouched")
    {
        NPPrint full;
        memset(&full, 0x5A, sizeof full);
        full.mode = NP_FULL;
        full.print.fullPrint.pluginPrinted = true;
        NPP_Print(&t.npp, &full);
        CHECK(full.print.fullPrint.pluginPrinted == false);
        CHECK(full.print.fullPrint.printOne == 0x5A);

        NPPrint embed, before;
        memset(&embed, 0x5A, sizeof embed);
        embed.mode = NP_EMBED;
        before = embed;
        NPP_Print(&t.npp, &embed);
        CHECK(memcmp(&embed, &before, sizeof embed) == 0);

        full.print.fullPrint.pluginPrinted = true;
        NPP_Print(nullptr, &full);
        CHECK(full.print.fullPrint.pluginPrinted == true);
        NPP_Print(&t.npp, nullptr);
    }
    SUBCASE("the end of a post is logged with its reason and URL, verbatim")
    {
        NPP_URLNotify(&t.npp, "ret_objects", NPRES_USER_BREAK, (void*)"2");
        CHECK(logLines().back() == "NPP_URLNotify called with reason = 2; URL = ret_objects");
        NPP_URLNotify(nullptr, "a%20b%d%s", -1, nullptr);
        CHECK(logLines().back() == "NPP_URLNotify called with reason = -1; URL = a%20b%d%s");
        NPP_URLNotify(&t.npp, nullptr, NPRES_DONE, nullptr);
        CHECK(logLines().back() == "NPP_URLNotify called with reason = 0; URL = (null)");
    }
    SUBCASE("a stream offered as a file is ignored and not logged")
    {
        size_t lines = logLines().size();
        NPStream stream{};
        NPP_StreamAsFile(&t.npp, &stream, "C:\\x.tmp");
        CHECK(logLines().size() == lines);
    }
}
