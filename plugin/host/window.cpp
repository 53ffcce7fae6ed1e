// The instance's window: the plug-in draws nothing, but it subclasses the
// window the browser gives it, repaints it whenever it is handed over, and
// gives the browser its procedure back when the window goes or the instance
// ends. Also the instance handlers that do little or nothing.
#include "../exchange/log.h"
#include "host_services.h"
#include "instance.h"
#include "window_platform.h"

// A window that refuses the install, or that another instance of ours has
// already bound, stays unbound here (hwnd null): it keeps its own procedure,
// or the other instance's, and is still repainted.
static void subclass(PluginInstance* This, void* hwnd)
{
    void* replaced = installInstanceProc(hwnd);
    if (replaced && !isInstanceProc(replaced)) {
        This->defaultWindowProc = replaced;
        This->hwnd = hwnd;
        if (!tagWindow(hwnd, This)) {
            // Without the property our procedure could not find the record.
            putBackWindowProc(hwnd, replaced);
            This->defaultWindowProc = nullptr;
            This->hwnd = nullptr;
        }
    }
    repaintWindow(hwnd);
}

// Never installs a null procedure: with nothing bound there is nothing to undo.
static void restore(PluginInstance* This)
{
    if (This->hwnd && This->defaultWindowProc) {
        putBackWindowProc(This->hwnd, This->defaultWindowProc);
        untagWindow(This->hwnd, This);
    }
    This->hwnd = nullptr;
    This->defaultWindowProc = nullptr;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window)
{
    PluginInstance* This = instanceRecord(instance);
    if (!This)
        return NPERR_INVALID_INSTANCE_ERROR;
    void* hwnd = window ? window->window : nullptr;

    // The choice rests on the descriptor held, not on hwnd: a descriptor
    // without a native window still counts as held.
    if (!This->window) {
        if (hwnd)
            subclass(This, hwnd);
    } else if (!hwnd) {
        restore(This);
    } else if (hwnd == This->hwnd) {
        // Handed over again (a resize, say): bound already, only repainted.
        repaintWindow(hwnd);
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
