// The Win32 side of the instance window: installing and removing the
// plug-in's window procedure, the property that leads from a window to its
// instance record, and the forced repaint.
#include <windows.h>

#include "instance.h"
#include "window_platform.h"

static const char kInstanceProperty[] = "instance->pdata";

// Hands every message to the procedure it replaced. A window reaches here
// without a usable record only when something kept calling us after the
// binding ended (another subclasser chained on top, say); the record may be
// gone then, so the message gets the system's default answer.
static LRESULT CALLBACK instanceWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PluginInstance* This = static_cast<PluginInstance*>(GetPropA(hwnd, kInstanceProperty));
    if (!This || This->hwnd != hwnd || !This->defaultWindowProc ||
        isInstanceProc(This->defaultWindowProc))
        return DefWindowProcA(hwnd, message, wParam, lParam);
    // The replaced procedure may be a Unicode one, and then what the ANSI
    // call gave us is a handle only CallWindowProcA knows how to call.
    return CallWindowProcA(reinterpret_cast<WNDPROC>(This->defaultWindowProc), hwnd, message,
                           wParam, lParam);
}

void* installInstanceProc(void* hwnd)
{
    return reinterpret_cast<void*>(SetWindowLongPtrA(
        static_cast<HWND>(hwnd), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(instanceWindowProc)));
}

bool isInstanceProc(void* proc)
{
    return proc == reinterpret_cast<void*>(instanceWindowProc);
}

void putBackWindowProc(void* hwnd, void* proc)
{
    SetWindowLongPtrA(static_cast<HWND>(hwnd), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

bool tagWindow(void* hwnd, PluginInstance* This)
{
    return SetPropA(static_cast<HWND>(hwnd), kInstanceProperty, This) != FALSE;
}

// The record is released with its instance, so no window may keep pointing at it.
void untagWindow(void* hwnd, PluginInstance* This)
{
    if (GetPropA(static_cast<HWND>(hwnd), kInstanceProperty) == This)
        RemovePropA(static_cast<HWND>(hwnd), kInstanceProperty);
}

void repaintWindow(void* hwnd)
{
    InvalidateRect(static_cast<HWND>(hwnd), nullptr, TRUE);
    UpdateWindow(static_cast<HWND>(hwnd));
}
