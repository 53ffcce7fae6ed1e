// Where a game and the service's components live: the registry gives the
// service's own directories, the service INI file each game's directory, and
// a manifest line names a file relative to one of them.
#include "locations.h"

#include <string.h>

#include <windows.h>

#include "command_text.h"
#include "log.h"
#include "registry_value.h"
#include "windows_directory.h"

static const char kComponentsKey[] = "Software\\Velkor Games Online\\Velkor System Components";

int initPaths(PluginInstance* This, const char* game)
{
    logMessage("In initPaths; got %s\n", game);

    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kComponentsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        logMessage("RegOpenKeyEx Failed\n");
        return 0;
    }
    const char* failed = nullptr;
    if (readRegistryValue(key, "SystemPath", This->systemPath, sizeof This->systemPath,
                          nullptr) != ERROR_SUCCESS)
        failed = "RegQueryValueEx (SystemPath) Failed\n";
    else if (readRegistryValue(key, "PlugInPath", This->pluginPath, sizeof This->pluginPath,
                               nullptr) != ERROR_SUCCESS)
        failed = "RegQueryValueEx (PlugInPath) Failed\n";
    RegCloseKey(key);
    if (failed) {
        logMessage("%s", failed);
        return 0;
    }

    // The service's own programs live with the system components.
    if (sameIgnoringCase(game, "Velkor", 6)) {
        memcpy(This->startIn, This->systemPath, sizeof This->startIn);
        return 1;
    }

    if (GetPrivateProfileStringA(game, "StartIn", "Error", This->startIn, sizeof This->startIn,
                                 "velkorgo.ini") > 0) {
        logMessage("Path is %s\n", This->startIn);
        return 1;
    }
    logMessage("GetPrivateProfileString failed\n");
    return 0;
}

// Like readWindowsDirectory: what a too small buffer holds is not the directory.
static unsigned readSystemDirectory(char* dir, unsigned size)
{
    UINT length = GetSystemDirectoryA(dir, size);
    return length < size ? length : 0;
}

enum MacroId { kNoMacro = 0, kSystemMacro = 1, kWindowsMacro = 2, kPluginMacro = 3 };

struct PathMacro {
    const char* text;
    MacroId id;
};

static const PathMacro kMacros[] = {
    {"<WINSYS>", kSystemMacro},
    {"<WINDOWS>", kWindowsMacro},
    {"<PLUGIN>", kPluginMacro},
};
static const size_t kMacroCount = sizeof kMacros / sizeof kMacros[0];

// The first row whose macro starts with the line's first length characters:
// an abbreviated macro is taken, so "<WIN" means the system directory.
static MacroId macroId(const char* line, size_t length)
{
    for (size_t row = 0; row < kMacroCount; row++) {
        if (sameIgnoringCase(line, kMacros[row].text, length))
            return kMacros[row].id;
    }
    return kNoMacro;
}

// path = head, separator (when not '\0'), tail, or 0 when that would not fit
// kPathSize: a shortened path would name another file.
static int joinPath(char* path, const char* head, char separator, const char* tail)
{
    size_t headLength = strlen(head);
    size_t separatorLength = separator ? 1 : 0;
    size_t tailLength = strlen(tail);
    if (headLength + separatorLength + tailLength >= kPathSize) {
        path[0] = '\0';
        logMessage("Path too long: %s%s%s\n", head, separator ? "\\" : "", tail);
        return 0;
    }
    memcpy(path, head, headLength);
    if (separator)
        path[headLength] = separator;
    memcpy(path + headLength + separatorLength, tail, tailLength + 1);
    return 1;
}

int resolveManifestPath(PluginInstance* This, const char* line, char* path)
{
    if (line[0] != '<')
        return joinPath(path, This->startIn, '\\', line);

    const char* close = strchr(line, '>');
    if (!close) {
        logMessage("Illegal path\n");
        return 0;
    }
    MacroId id = macroId(line, static_cast<size_t>(close - line));

    char directory[kPathSize];
    const char* base = directory;
    if (id == kSystemMacro || id == kWindowsMacro) {
        bool system = id == kSystemMacro;
        if (!(system ? readSystemDirectory : readWindowsDirectory)(directory, sizeof directory)) {
            logMessage(system ? "Couldn't GetSystemDirectory\n" : "Couldn't GetWindowsDirectory\n");
            return 0;
        }
    } else if (id == kPluginMacro) {
        base = This->pluginPath;
    } else {
        logMessage("Illegal path\n");
        return 0;
    }
    // The line carries its own separator after the macro.
    return joinPath(path, base, '\0', close + 1);
}
