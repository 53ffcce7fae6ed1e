// The version report: a manifest's lines with their fingerprints, posted
// back to the server as a form.
#pragma once

#include "../host/instance.h"

// Splits the manifest from manifestStart to the end of the stream's text
// into lines, fingerprints the file each names, lays out the request and
// posts it to url ("ret_objects", or that name resolved beside the
// manifest's address), then gives back the blocks it took. Returns 1 when
// the report was handed to the browser, 0 after logging a failure.
int sendVersionReport(NPP instance, PluginInstance* This, char* manifestStart, const char* url);
