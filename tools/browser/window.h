// The page's window and the child window a browser gives an embedded
// plug-in, and the message pump that keeps them alive between calls.
#pragma once

// Returns the child window's handle, or null with error set.
void* createPluginWindow(int width, int height, bool shown);
void destroyPluginWindow(void* child);
void pumpMessages();
