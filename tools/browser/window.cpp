// Win32 side of the stand-in's windows: a top-level "page" window (hidden
// unless asked) and one plain child window inside it for the plug-in.
#include <windows.h>

#include "browser.h"

static const char kPageClass[] = "VkBrowsePage";
static const char kPluginClass[] = "VkBrowsePlugin";

static bool registerClasses()
{
    static bool registered = false;
    if (registered)
        return true;
    WNDCLASSA page = {};
    page.lpfnWndProc = DefWindowProcA;
    page.hInstance = GetModuleHandleA(nullptr);
    page.hCursor = LoadCursor(nullptr, IDC_ARROW);
    page.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    page.lpszClassName = kPageClass;
    WNDCLASSA plugin = page;
    plugin.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    plugin.lpszClassName = kPluginClass;
    registered = RegisterClassA(&page) && RegisterClassA(&plugin);
    return registered;
}

void* createPluginWindow(int width, int height, bool shown)
{
    if (!registerClasses())
        return nullptr;
    HWND page = CreateWindowExA(0, kPageClass, "vkbrowse", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                CW_USEDEFAULT, CW_USEDEFAULT, width + 40, height + 80, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!page)
        return nullptr;
    HWND child = CreateWindowExA(0, kPluginClass, "", WS_CHILD | WS_VISIBLE, 10, 10, width, height,
                                 page, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!child) {
        DestroyWindow(page);
        return nullptr;
    }
    if (shown)
        ShowWindow(page, SW_SHOWNORMAL);
    return child;
}

void destroyPluginWindow(void* child)
{
    if (!child)
        return;
    HWND page = GetParent(static_cast<HWND>(child));
    DestroyWindow(page ? page : static_cast<HWND>(child));
    pumpMessages();
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
