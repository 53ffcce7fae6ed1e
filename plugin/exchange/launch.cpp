// The launcher runs on its own; the page moves on to index.html once it
// has started, and stays where it is when it could not be started.
#include "launch.h"

#include <string.h>

#include "../host/host_services.h"
#include "command_line.h"
#include "log.h"
#include "process.h"

int startClient(NPP instance, PluginInstance* This)
{
    // systemPath comes from the registry; read it only within its field.
    char directory[kValueSize];
    size_t directoryLength = strnlen(This->systemPath, sizeof directory - 1);
    memcpy(directory, This->systemPath, directoryLength);
    directory[directoryLength] = '\0';
    const char* arguments = This->data ? This->data : "";

    // A cut argument list could change what the launcher does: refuse instead.
    char commandLine[kCommandLineSize];
    size_t needed = buildCommandLine(commandLine, sizeof commandLine, directory, arguments);
    if (needed >= sizeof commandLine) {
        logMessage("command line too long; length = %d\n", int(needed));
        return 0;
    }
    logMessage("Starting %s\n", commandLine);

    uint32_t error = 0;
    if (!startDetachedProcess(commandLine, directory, &error)) {
        logMessage("CreateProcess failed; %d\n", int(error));
        return 0;
    }

    logMessage("Calling NPN_GetURL\n");
    NPError navigated = NPN_GetURL(instance, "index.html", "_top");
    logMessage("NPN_GetURL is complete, result = %d\n", navigated);
    return 1;
}
