// The instance's window: the plug-in draws nothing, but it subclasses the
// window the browser gives it, repaints it whenever it is handed over, and
// gives the browser its procedure back when the window goes or the instance
// ends. Also the instance handlers that do little or nothing.
#include <windows.h>

#include "../exchange/log.h"
#include "host_services.h"
#include "instance.h"

// Leads from a window to its instance record, for instanceWindowProc.
static const char kInstanceProperty[] = "instance->pdata";

// Hands every message to the procedure it replaced. A window reaches here
// without a usable record only when something kept calling us after the
// binding ended (another subclasser chained on top, say); the record may be
// gone then, so the message gets the system's default answer.
static LRESULT CALLBACK instanceWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PluginInstance* This = static_cast<PluginInstance*>(GetPropA(hwnd, kInstanceProperty));
    if (!This || This->hwnd != hwnd || !This->defaultWindowProc ||
        This->defaultWindowProc == instanceWindowProc)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    // The replaced procedure may be a Unicode one, and then what the ANSI
    // call gave us is a handle only CallWindowProcA knows how to call.
    return CallWindowProcA(This->defaultWindowProc, hwnd, message, wParam, lParam);
}

static WNDPROC setWindowProc(HWND hwnd, WNDPROC proc)
{
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

// Marks the whole client area, background included, and paints it now.
static void repaint(HWND hwnd)
{
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
}

// A window that refuses the install (gone, or not ours to change), or that
// another instance of ours has already bound, stays unbound here (hwnd
// null): it keeps its own procedure, or the other instance's, and is still
// repainted. Binding it again would send its messages back to us.
static void subclass(PluginInstance* This, HWND hwnd)
{
    WNDPROC replaced = setWindowProc(hwnd, instanceWindowProc);
    if (replaced && replaced != instanceWindowProc) {
        This->defaultWindowProc = replaced;
        This->hwnd = hwnd;
        if (!SetPropA(hwnd, kInstanceProperty, This)) {
            // Without the property our procedure could not find the record.
            setWindowProc(hwnd, replaced);
            This->defaultWindowProc = nullptr;
            This->hwnd = nullptr;
        }
    }
    repaint(hwnd);
}

// Never installs a null procedure: with nothing bound there is nothing to undo.
static void restore(PluginInstance* This)
{
    if (This->hwnd && This->defaultWindowProc) {
        setWindowProc(This->hwnd, This->defaultWindowProc);
        // The record is released with its instance: no window may keep it.
        if (GetPropA(This->hwnd, kInstanceProperty) == This)
            RemovePropA(This->hwnd, kInstanceProperty);
    }
    This->hwnd = nullptr;
    This->defaultWindowProc = nullptr;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window)
{
    PluginInstance* This = instanceRecord(instance);
    if (!This)
        return NPERR_INVALID_INSTANCE_ERROR;
    HWND hwnd = window ? static_cast<HWND>(window->window) : nullptr;

    // The choice rests on the descriptor held, not on hwnd: a descriptor
    // without a native window still counts as held.
    if (!This->window) {
        if (hwnd)
            subclass(This, hwnd);
    } else if (!hwnd) {
        restore(This);
    } else if (hwnd == This->hwnd) {
        // Handed over again (a resize, say): bound already, only repainted.
        repaint(hwnd);
    } else {
        restore(This);
        subclass(This, hwnd);
    }
    This->window = window;
    return NPERR_NO_ERROR;
}

// The record goes back to the browser's allocator with everything it still
// holds; a browser that creates many instances must not leak them.
NPError NPP_Destroy(NPP instance, NPSavedData**)
{
    PluginInstance* This = instanceRecord(instance);
    if (!This)
        return NPERR_INVALID_INSTANCE_ERROR;
    if (This->window)
        restore(This);
    releaseStreamData(This);
    if (This->result)
        NPN_MemFree(This->result);
    NPN_MemFree(This);
    instance->pdata = nullptr;
    if (liveInstances > 0)
        liveInstances--;
    return NPERR_NO_ERROR;
}

// Streams come through NPP_Write; the plug-in never asks for a file.
void NPP_StreamAsFile(NPP, NPStream*, const char*)
{
}

// There is nothing of ours to print; on a full page the browser prints it.
void NPP_Print(NPP instance, NPPrint* print)
{
    if (!instance || !print)
        return;
    if (print->mode == NP_FULL)
        print->print.fullPrint.pluginPrinted = false;
}

// The end of the version report's post; the answer itself comes as a stream.
void NPP_URLNotify(NPP, const char* url, NPReason reason, void*)
{
    logMessage("NPP_URLNotify called with reason = %d; URL = %s\n", reason, url ? url : "(null)");
}
