// Version resource reading and library loading: the Win32 edge of the
// stand-in's plug-in registration.
#include <windows.h>

#include <vector>

#include "plugin_module.h"

// A file that is not there is named as such, not as a library without a
// version resource or one that cannot be loaded.
static bool present(const std::string& path, std::string& error)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = path + " is missing (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = path + " is a directory, not a plug-in library";
        return false;
    }
    return true;
}

bool readVersionString(const std::string& path, const char* key, std::string& value,
                       std::string& error)
{
    if (!present(path, error))
        return false;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0) {
        error = path + " has no version resource (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) {
        error = "cannot read the version resource of " + path;
        return false;
    }
    std::string query = std::string("\\StringFileInfo\\040904e4\\") + key;
    char* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) ||
        !text || length == 0) {
        error = "the version resource of " + path + " has no \"" + key +
                "\" in its 040904e4 string block";
        return false;
    }
    // The length may or may not count the terminator.
    value.assign(text, strnlen(text, length));
    return true;
}

bool loadPluginModule(const std::string& path, PluginModule& module, std::string& error)
{
    if (!present(path, error))
        return false;
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) {
        error = "LoadLibrary(" + path + ") failed (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    module.library = library;
    // The cast goes through a generic function pointer, as GetProcAddress's
    // result must be cast to the real signature.
    module.getEntryPoints =
        reinterpret_cast<GetEntryPointsFn>(reinterpret_cast<void (*)()>(GetProcAddress(library, "NP_GetEntryPoints")));
    module.initialize =
        reinterpret_cast<InitializeFn>(reinterpret_cast<void (*)()>(GetProcAddress(library, "NP_Initialize")));
    module.shutdown =
        reinterpret_cast<ShutdownFn>(reinterpret_cast<void (*)()>(GetProcAddress(library, "NP_Shutdown")));
    if (!module.getEntryPoints || !module.initialize || !module.shutdown) {
        error = path + " does not export NP_GetEntryPoints, NP_Initialize and NP_Shutdown";
        unloadPluginModule(module);
        return false;
    }
    return true;
}

void unloadPluginModule(PluginModule& module)
{
    if (module.library)
        FreeLibrary(static_cast<HMODULE>(module.library));
    module = PluginModule();
}
