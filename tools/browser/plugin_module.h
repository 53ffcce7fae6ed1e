// Finding and loading a plug-in library the way a Windows browser does:
// its MIME type from the version resource, then its three exports.
#pragma once

#include <string>

#include "host/npapi.h"

typedef NPError(NP_EXPORT_CALL* GetEntryPointsFn)(NPPluginFuncs*);
typedef NPError(NP_EXPORT_CALL* InitializeFn)(NPNetscapeFuncs*);
typedef NPError(NP_EXPORT_CALL* ShutdownFn)(void);

struct PluginModule {
    void* library = nullptr;
    GetEntryPointsFn getEntryPoints = nullptr;
    InitializeFn initialize = nullptr;
    ShutdownFn shutdown = nullptr;
};

// Reads a string of the US English, Windows-1252 block ("040904e4") of the
// file's version resource. Returns false with a reason when absent.
bool readVersionString(const std::string& path, const char* key, std::string& value,
                       std::string& error);

bool loadPluginModule(const std::string& path, PluginModule& module, std::string& error);
void unloadPluginModule(PluginModule& module);
