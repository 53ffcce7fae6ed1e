// The few window-manager calls behind the instance window, kept apart so the
// binding in window.cpp reads as the state machine it is. Windows are plain
// handles here (HWND, WNDPROC) so the binding needs no <windows.h>.
#pragma once

struct PluginInstance;

// Installs instanceWindowProc on the window and returns the procedure it
// replaced: null when the window took nothing (gone, or not ours to change).
void* installInstanceProc(void* hwnd);

// True for the plug-in's own procedure: a window already bound to another
// instance must not be bound again, or its messages would come back to us.
bool isInstanceProc(void* proc);

// Puts a procedure back on the window. Never called with a null procedure.
void putBackWindowProc(void* hwnd, void* proc);

// The window's link to its instance record, for instanceWindowProc.
bool tagWindow(void* hwnd, PluginInstance* This);
void untagWindow(void* hwnd, PluginInstance* This);

// Marks the whole client area, background included, and paints it now.
void repaintWindow(void* hwnd);
