// The gathering of a stream's bytes into one block of the instance record.
#pragma once

#include "instance.h"

// Makes stream the one whose bytes are taken, when the trusted server list
// lets a stream from its address and of type through; false after logging
// the refusal.
bool beginStream(PluginInstance* This, NPStream* stream, const char* type);

// Appends len bytes from buffer to the current stream's. Returns len, or -1
// after logging why the chunk is refused (nothing held changes then).
int32_t takeChunk(PluginInstance* This, const NPStream* stream, int32_t offset, int32_t len,
                  const void* buffer);

// Ends the current stream, whose bytes stay held for the exchange; false
// after logging when stream is not the one open.
bool endStream(PluginInstance* This, const NPStream* stream);
