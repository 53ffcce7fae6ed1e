// The version report: a manifest's lines with their fingerprints, posted
// back to the server as a form.
#pragma once

#include "../host/instance.h"

// Fingerprints the file each manifest line (from manifestStart on) names,
// lays out the request, posts it to url and gives back the blocks it took.
// Returns 1 when the report was handed to the browser, 0 after logging.
int sendVersionReport(NPP instance, PluginInstance* This, char* manifestStart, const char* url);
