// The launcher runs on its own; the page moves on to index.html once it
// has started, and stays where it is when it could not be started.
#include "launch.h"

#include <string.h>

#include <windows.h>

#include "command_text.h"
#include "log.h"
#include "navigate.h"

// Its own console, its own life: the handles are closed at once, since we
// never wait for it and holding them would only keep its kernel objects alive.
static bool startDetached(char* commandLine, const char* directory, DWORD* error)
{
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                        nullptr, directory, &startup, &process)) {
        *error = GetLastError();
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

int startClient(NPP instance, PluginInstance* This, const char* arguments, const char* streamUrl)
{
    // systemPath comes from the registry; read it only within its field.
    char directory[kValueSize];
    size_t directoryLength = strnlen(This->systemPath, sizeof directory - 1);
    memcpy(directory, This->systemPath, directoryLength);
    directory[directoryLength] = '\0';

    // A cut argument list could change what the launcher does: refuse instead.
    char commandLine[kCommandLineSize];
    size_t needed = formatProgramLine(commandLine, sizeof commandLine, directory, "vkclient.exe",
                                      arguments ? arguments : "");
    if (needed >= sizeof commandLine) {
        logMessage("command line too long; length = %d\n", int(needed));
        return 0;
    }
    logMessage("Starting %s\n", commandLine);

    DWORD error = 0;
    if (!startDetached(commandLine, directory, &error)) {
        logMessage("CreateProcess failed; %d\n", int(error));
        return 0;
    }

    navigate(instance, This, streamUrl, "index.html", "_top");
    return 1;
}
