// The plug-in library: its registration strings read from its version
// resource, the library loaded and its three exports taken, and, when none
// is named, the search for one that serves the page's type.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "browser.h"
#include "command_text.h"
#include "plugin_types.h"

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

// The search for a library that serves a type.

// A 32-bit program reads the 32-bit view (WOW6432Node on 64-bit Windows)
// unless it asks otherwise, as the browsers of the time did.
static const char* const kView = sizeof(void*) == 4 ? " (32-bit view)" : " (64-bit view)";

namespace {
struct Search {
    std::string type;
    std::string chosen;
    std::string where;                // how it was found
    std::vector<std::string> places;  // each with what was found there
};
}  // namespace

static std::string count(size_t n, const char* one, const char* many)
{
    return n == 0 ? std::string("no ") + one : std::to_string(n) + " " + (n == 1 ? one : many);
}

// Name order with ASCII letters compared without regard to case.
static bool namedBefore(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return (unsigned char)asciiLower(x) < (unsigned char)asciiLower(y);
    });
}

// Takes path when its MIMEType list serves the type; otherwise says why not.
static bool serves(Search& search, const std::string& path)
{
    std::string list, error;
    if (!readVersionString(path, "MIMEType", list, error)) {
        transcriptNote("passed over: " + error);
        return false;
    }
    if (!typeListServes(list, search.type)) {
        transcriptNote("passed over " + path + ": it serves " + quoted(list));
        return false;
    }
    search.chosen = path;
    return true;
}

// The NP*.DLL files of folder, by name so that every run tries them in the
// same order. False when folder is not a directory.
static bool pluginFiles(const std::string& folder, std::vector<std::string>& files)
{
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA((folder + "\\np*.dll").c_str(), &found);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            // The pattern also matches short names; the long name decides.
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && isPluginFileName(found.cFileName))
                files.push_back(found.cFileName);
        } while (FindNextFileA(listing, &found));
        FindClose(listing);
    }
    std::sort(files.begin(), files.end(), namedBefore);
    for (std::string& file : files)
        file = folder + "\\" + file;
    return true;
}

static bool searchFolder(Search& search, const std::string& folder, const std::string& place)
{
    std::vector<std::string> files;
    if (!pluginFiles(folder, files)) {
        search.places.push_back(place + ": no such folder");
        return false;
    }
    search.places.push_back(place + ": " + count(files.size(), "NP*.DLL", "NP*.DLLs"));
    for (const std::string& file : files) {
        if (serves(search, file)) {
            search.where = "in the Plugins folder beside this program";
            return true;
        }
    }
    return false;
}

static bool searchBesideProgram(Search& search)
{
    char program[MAX_PATH + 1] = "";
    DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        search.places.push_back("the Plugins folder beside this program: its path is unknown");
        return false;
    }
    std::string folder(program, length);
    folder.erase(folder.find_last_of('\\') + 1);
    folder += "Plugins";
    return searchFolder(search, folder, folder);
}

// The registration's Path value: the library itself or its folder. False,
// with a line, when it has none that can be used.
static bool registeredPath(HKEY registrations, const char* name, const std::string& key, std::string& path)
{
    HKEY registration;
    if (RegOpenKeyExA(registrations, name, 0, KEY_READ, &registration) != ERROR_SUCCESS) {
        transcriptNote("passed over " + key + ": it cannot be opened");
        return false;
    }
    char value[MAX_PATH + 1] = "";
    DWORD size = MAX_PATH;  // one byte kept back for the terminator the registry may leave out
    DWORD type = 0;
    LONG result = RegQueryValueExA(registration, "Path", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(registration);
    if (result == ERROR_MORE_DATA) {
        transcriptNote("passed over " + key + ": its Path is longer than " + std::to_string(MAX_PATH - 1) +
                       " characters");
        return false;
    }
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        transcriptNote("passed over " + key + ": it has no Path string");
        return false;
    }
    value[size] = '\0';
    path = value;
    if (type == REG_EXPAND_SZ) {
        char expanded[MAX_PATH] = "";
        DWORD needed = ExpandEnvironmentStringsA(value, expanded, MAX_PATH);
        if (needed == 0 || needed > MAX_PATH) {
            transcriptNote("passed over " + key + ": its Path " + quoted(path) + " cannot be expanded");
            return false;
        }
        path = expanded;
    }
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    if (path.empty()) {
        transcriptNote("passed over " + key + ": its Path is empty");
        return false;
    }
    return true;
}

static bool searchRegistrations(Search& search, HKEY root, const std::string& rootName)
{
    std::string place = rootName + "\\Software\\MozillaPlugins";
    HKEY registrations;
    if (RegOpenKeyExA(root, "Software\\MozillaPlugins", 0, KEY_READ, &registrations) != ERROR_SUCCESS) {
        search.places.push_back(place + kView + ": no such key");
        return false;
    }
    bool found = false;
    size_t seen = 0;
    for (DWORD index = 0; !found; index++) {
        char name[256];  // the longest key name the registry allows, and its terminator
        DWORD length = sizeof name;
        LONG result = RegEnumKeyExA(registrations, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        seen++;
        if (result != ERROR_SUCCESS)
            continue;
        std::string key = place + "\\" + name;
        std::string path;
        if (!registeredPath(registrations, name, key, path))
            continue;
        DWORD attributes = GetFileAttributesA(path.c_str());
        bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (folder) {
            std::vector<std::string> files;
            pluginFiles(path, files);
            for (size_t i = 0; i < files.size() && !found; i++)
                found = serves(search, files[i]);
        } else {
            found = serves(search, path);
        }
        if (found)
            search.where = "through the registration " + key + kView +
                           (folder ? ", whose Path names its folder" : "");
    }
    RegCloseKey(registrations);
    if (!found)
        search.places.push_back(place + kView + ": " + count(seen, "registration", "registrations"));
    return found;
}

bool findPluginForType(const std::string& type, std::string& path, std::string& error)
{
    Search search;
    search.type = type;
    transcriptNote("looking for a plug-in for " + quoted(type));
    if (!searchBesideProgram(search) && !searchRegistrations(search, HKEY_CURRENT_USER, "HKEY_CURRENT_USER"))
        searchRegistrations(search, HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE");
    if (search.chosen.empty()) {
        error = "no plug-in serves " + quoted(type) + "; looked in:";
        for (const std::string& place : search.places)
            error += " " + place + ";";
        error.pop_back();
        return false;
    }
    path = search.chosen;
    transcriptNote("plug-in for " + quoted(type) + ": " + path + ", found " + search.where);
    return true;
}
