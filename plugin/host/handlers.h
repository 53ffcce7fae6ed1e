// The work the instance handlers hand on to within host/, grouped by file.
// Each function that refuses logs why.
#pragma once

#include "instance.h"

// window.cpp: binds the window of the descriptor handed over (null: none),
// or gives the last one back, and repaints the window it names.
void setWindow(PluginInstance* This, NPWindow* window);
void restoreWindow(PluginInstance* This);  // nothing when none is bound

// stream_intake.cpp: the stream the trusted server list lets through is the
// one whose bytes are taken, until it ends; they stay held for the exchange.
bool beginStream(PluginInstance* This, NPStream* stream, const char* type);
// Returns len, or -1 with nothing held changed.
int32_t takeChunk(PluginInstance* This, const NPStream* stream, int32_t offset, int32_t len,
                  const void* buffer);
bool endStream(PluginInstance* This, const NPStream* stream);
